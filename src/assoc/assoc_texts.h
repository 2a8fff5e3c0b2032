#pragma once
// The texts that the store, the delete guard, the program-extension warning, the backups and the
// restores show to the user, kept in one place. Texts with parts are built by the functions below.

#include <windows.h>

#include <string>
#include <string_view>

#include "assoc/link_extention.h"

namespace assoc {
struct TBackupName;
}

namespace assoc::texts {

// The store's refusals.
inline constexpr wchar_t kWrongExtension[] = L"拡張子に間違いがあります。";
inline constexpr wchar_t kCannotChangeRegistry[] = L"レジストリを変更できませんでした。";

// After a delete; a second line follows when the file type key was kept.
inline constexpr wchar_t kUnlinked[] = L"関連づけを削除しました。";

// Registry file faults, each shown after "N行目：".
inline constexpr wchar_t kNotRegFile[] = L"「Windows Registry Editor Version 5.00」のファイルではありません。";
inline constexpr wchar_t kFileEndsEarly[] = L"ファイルが途中で終わっています。";
inline constexpr wchar_t kBadLine[] = L"読み取れない行です。";
inline constexpr wchar_t kBadKeyName[] = L"キーの名前に誤りがあります。";
inline constexpr wchar_t kUnknownRoot[] = L"ルートキーの名前に誤りがあります。";
inline constexpr wchar_t kBadString[] = L"文字列に誤りがあります。";
inline constexpr wchar_t kBadDword[] = L"dword の値に誤りがあります。";
inline constexpr wchar_t kBadHex[] = L"16進数のデータに誤りがあります。";
inline constexpr wchar_t kValueOutsideKey[] = L"値の前にキーがありません。";
inline constexpr wchar_t kValueInRemoval[] = L"削除するキーに値があります。";
inline constexpr wchar_t kNulInText[] = L"NUL 文字があります。";

// Backups and restores.
inline constexpr wchar_t kCannotWriteName[] = L"改行や NUL 文字を含む名前は、レジストリ ファイルに書けません。";
inline constexpr wchar_t kNoLocalAppData[] = L"ローカル アプリケーション データのフォルダーが見つかりません。";
inline constexpr wchar_t kRestored[] = L"復元しました。";
inline constexpr wchar_t kNothingToUndo[] = L"元に戻せる変更はありません。";

// The information after a delete: kUnlinked, and when the file type key was kept, a line naming
// it and the reason (for a shared one, the first other extension and how many more there are).
std::wstring UnlinkedMessage(const TLinkExtention::TUnlinkResult& result);

// The 警告 question before registering an extension that starts programs (StartsPrograms).
std::wstring ProgramExtensionWarning(std::wstring_view extension);

// The question before undoing: names the time, the extension and the operation of the backup.
std::wstring UndoQuestion(const TBackupName& backup);

// "N行目：" and the fault.
std::wstring LineFault(int line, std::wstring_view fault);

// A key of a file that lies outside the keys this tool manages (shown after "N行目：").
std::wstring ForeignKey(std::wstring_view key);

// "バックアップを保存できませんでした。変更は行いません。" and the reason on the next line.
std::wstring BackupFailed(std::wstring_view reason);

// Reasons for BackupFailed and parts of the restore's messages.
std::wstring CannotCreateFolder(std::wstring_view folder);
std::wstring CannotWriteFile(std::wstring_view path);
std::wstring CannotReadKey(std::wstring_view key);
std::wstring CannotWriteKey(std::wstring_view key);

// A file that could not be read at all; nothing was changed.
std::wstring CannotReadFile(std::wstring_view fileName);

// A file refused before anything was written: its name, the fault with its line, and that
// nothing was changed.
std::wstring CannotRestore(std::wstring_view fileName, std::wstring_view fault);

// A restore that stopped at a failed write: the failure, and the backup that undoes what was
// written before it.
std::wstring RestoreStopped(std::wstring_view failure, std::wstring_view backupFileName);

}  // namespace assoc::texts
