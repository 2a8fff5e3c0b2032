#pragma once
// The store that keeps the change history and its backups:
// %ProgramData%\Tavrelo\Backups\<the account's SID>, a folder that only Administrators and SYSTEM
// can change and only the account may read (common::SecureFolder), held open while a change works
// in it. The tool runs elevated, so a program the user runs unelevated can neither plant nor
// change a file that the tool will later write into the registry, nor move the folder away; a
// file there that the tool did not write is passed over.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "assoc/reg_file.h"
#include "common/secure_folder.h"
#include "common/seam.h"

namespace assoc {

// The machine's application data folder (%ProgramData%), from the shell's known folder, never
// from the environment, which the user sets. Tests answer with a folder of their own.
extern common::Seam<std::wstring()> MachineDataFolder;

// The local application data folder (%LOCALAPPDATA%) of this account, at its default place (not
// where the user's shell folders say), where older versions kept their history and backups.
// Tests answer with a folder of their own.
extern common::Seam<std::wstring()> LocalAppDataFolder;

// The account whose associations the tool changes, as a SID string: the user this process runs
// as (common::ProcessUserSid); empty when it cannot be read.
extern common::Seam<std::wstring()> StoreAccountSid;

// The local time changes are recorded at. Tests answer with a fixed time.
extern common::Seam<SYSTEMTIME()> BackupClock;

// The kinds of store: the history and its backups, and the error reports.
inline constexpr wchar_t kBackupStore[] = L"Backups";
inline constexpr wchar_t kReportStore[] = L"Reports";

// Where the account's store of kind lies:
// MachineDataFolder()\Tavrelo\<kind>\<StoreAccountSid()>, readable by that account.
common::SecureFolderPlace StorePlace(const std::wstring& kind);

// Where older versions kept history and backups: LocalAppDataFolder()\Tavrelo\Backups.
common::SecureFolderPlace OlderBackupPlace();

// The path of StorePlace(kBackupStore), without a trailing "\". Not opened or created here.
std::wstring BackupFolder();

// The largest registry file a restore or an import reads.
inline constexpr uint64_t kLargestRegistryFile = 64ull << 20;

// Opens StorePlace(kBackupStore), creating it when missing and giving it the tool's access list
// (common::SecureFolder::Create). Raises Exception (BackupFailed and the reason) when there is no
// machine data folder or a level is a link, not the tool's, or cannot be created or secured.
common::SecureFolder CreateBackupFolder();

// Says why a secured folder could not be opened: the reason BackupFailed gives.
std::wstring FolderFaultText(const common::SecureFolderError& error);

// "yyyymmdd-hhmmss-fff" of time.
std::wstring TimeStamp(const SYSTEMTIME& time);

// The time a stamp stands for; nothing for anything else.
std::optional<SYSTEMTIME> ParseTimeStamp(std::wstring_view stamp);

// text with the characters file names cannot hold (\ / : * ? " < > |, control characters) and
// "%" written as "%" and two upper-case hex digits, cut to 64 characters (ending in "…").
std::wstring FileNamePart(std::wstring_view text);

// Writes bytes into a new file of store named "<stem>.reg", or "<stem> (2).reg" and so on when
// that is taken, owned by Administrators, flushed; answers the file's name (without the folder).
// Raises Exception (BackupFailed and the reason) when any byte does not arrive; a file written
// in part is removed again.
std::wstring WriteBackupFile(const common::SecureFolder& store, const std::wstring& stem, const std::string& bytes);

// The registry file name of store, read only when the tool wrote it (common::SecureFolder::Read)
// and it is at most kLargestRegistryFile. Raises Exception naming the file when it is missing,
// not trusted, larger, cannot be read, or a line does not parse (with the line).
TRegDocument ReadBackupFile(const common::SecureFolder& store, const std::wstring& name);

// The bytes of the file at path, read only when it is no larger than limit. Raises Exception
// naming the file (CannotReadFile, or FileTooLarge with the limit) before reading more.
std::string ReadLimitedFile(const std::wstring& path, uint64_t limit);

// The registry file at path, at most kLargestRegistryFile. Raises Exception naming the file when
// it is larger, cannot be read, or a line does not parse (with the line).
TRegDocument ReadRegistryFile(const std::wstring& path, bool import = false);

}  // namespace assoc
