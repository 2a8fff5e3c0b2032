#pragma once
// Backups of the registry keys a change may touch, taken before the change, and restores of
// them. A backup is a registry file in %LOCALAPPDATA%\Tavrelo\Backups named
// "<yyyymmdd-hhmmss-fff> <extension> <operation>.reg"; none is ever deleted here.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assoc/reg_file.h"
#include "common/seam.h"

namespace assoc {

// The changes that take a backup first.
enum class TBackupOperation { Link, Unlink, RemoveUserChoice, Restore };

// The operation's name in backup file names and questions: 登録, 削除, 利用者の選択の削除, 復元.
std::wstring_view BackupOperationName(TBackupOperation operation) noexcept;

// What a backup's file name tells: when it was taken (local time, to the millisecond), for which
// extension (empty when a restore of a file that is not a backup took it) and before which change.
struct TBackupName {
  SYSTEMTIME Time{};
  std::wstring Extension;
  TBackupOperation Operation = TBackupOperation::Link;
};

// The file name of a backup. Characters that file names cannot hold (\ / : * ? " < > |, control
// characters) and "%" are written as "%" with two upper-case hex digits, so that the name reads
// back; an extension that would still take more than 64 characters is cut to 63 and ends in "…".
std::wstring BackupFileName(const TBackupName& name);

// The parts of a backup's file name; nothing for a name BackupFileName does not make.
std::optional<TBackupName> ParseBackupFileName(std::wstring_view fileName);

// The folder of the local application data (%LOCALAPPDATA%), from the shell. Tests answer with
// a folder of their own so that no test writes into the real one.
extern common::Seam<std::wstring()> LocalAppDataFolder;

// The local time a backup is named after. Tests answer with a fixed time.
extern common::Seam<SYSTEMTIME()> BackupClock;

// LocalAppDataFolder() + "\Tavrelo\Backups", without a trailing "\". Not created here.
std::wstring BackupFolder();

// A backup file found in the folder.
struct TBackupFile {
  std::wstring Path;
  TBackupName Name;
};

// The newest backup in BackupFolder() by the time in its name (the name itself breaks a tie);
// files whose names are not backup names are passed over. Nothing when there is none.
std::optional<TBackupFile> NewestBackup();

// The keys each change may touch, root spelled out, as a backup saves them. Link: the extension
// key, the file type key it writes (name + "File") and the shell's per-user records (FileExts
// and OpenSavePidlMRU). Unlink: the extension key, the file type key it names now unless a
// delete would keep it for its name alone (a path, a name beginning with ".", a system key),
// and the per-user records. RemoveUserChoice: FileExts\<ext>\UserChoice and UserChoiceLatest,
// and HKEY_CURRENT_USER\Software\Classes\<ext>. Reads only.
std::vector<std::wstring> KeysTouchedByLink(const std::wstring& extension);
std::vector<std::wstring> KeysTouchedByUnlink(const std::wstring& extension);
std::vector<std::wstring> KeysTouchedByRemoveUserChoice(const std::wstring& extension);

// The keys a restore of document writes: each key it names, or for a key that is missing, its
// topmost missing parent below the managed root (so that undoing the restore also removes the
// parents it creates), without keys that lie inside another of the list.
std::vector<std::wstring> KeysTouchedByRestore(const TRegDocument& document);

// True when path lies strictly below one of the keys this tool manages: HKEY_CLASSES_ROOT,
// HKEY_LOCAL_MACHINE\Software\Classes, HKEY_CURRENT_USER\Software\Classes, and below
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer the keys FileExts and
// ComDlg32\OpenSavePidlMRU. Roots spelled out as the registry editor writes them (no HKCR or
// HKCU), compared key name by key name, letter case aside; an empty key name (as in "\\") fails.
bool IsManagedKey(std::wstring_view path) noexcept;

// Saves keys as they are now into a new backup file named for extension and operation, creating
// the folder when needed, and answers the file's path. Its name has the clock's time, or when
// that is not later than the newest backup's, a millisecond after that one, so that it becomes
// the newest backup. Raises Exception ("バックアップを保存できませんでした。
// 変更は行いません。" and the reason) when a key cannot be read or the file cannot be written in
// full; a file written in part is removed again.
std::wstring WriteBackup(const std::vector<std::wstring>& keys, std::wstring_view extension,
                         TBackupOperation operation);

// One call before each change, which then must not start when it raises: they back up the keys
// the change may touch and answer the backup's path. Raise "拡張子に間違いがあります。" for an
// extension the store would refuse (Link: IsLinkableExtension; the others:
// IsUnlinkableExtension; neither takes a NUL), before saving anything; else as WriteBackup.
std::wstring BackupBeforeLink(const std::wstring& extension);
std::wstring BackupBeforeUnlink(const std::wstring& extension);
std::wstring BackupBeforeRemoveUserChoice(const std::wstring& extension);

// What a restore did.
struct TRestoreResult {
  std::wstring BackupPath;  // the backup of what the restore overwrote (undoes the restore)
};

// Restores the registry file at path: reads and checks all of it (every key must be a managed
// one, IsManagedKey), backs up what it will overwrite (operation 復元, for the extension that
// the file's name gives when it is a backup, else none), writes it, then sends the association
// change notice. Raises Exception with a message naming the file: when it cannot be read, for
// the first line that does not parse or names a key that is not managed, and when the backup
// fails - each before anything is written; and naming the key when a write fails, after the
// notice, the steps before it staying done.
TRestoreResult RestoreBackup(const std::wstring& path);

}  // namespace assoc
