#pragma once
// The texts that the store, the delete guard, the program-extension warning, the backups and the
// restores show to the user, kept in one place. Texts with parts are built by the functions below.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "assoc/link_extention.h"

namespace assoc {
struct TChangeStep;
struct THistoryEntry;
struct TTypeReference;
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
inline constexpr wchar_t kWin31File[] = L"Windows 3.1 の形式のファイルは読めません。";
// Follows kNotRegFile when the first line is neither header that is read.
inline constexpr wchar_t kHeaderHint[] = L"1行目を「Windows Registry Editor Version 5.00」か「REGEDIT4」にして下さい。";
// Encodings that a registry file is not read in, named for UnreadableEncoding.
inline constexpr wchar_t kUtf8WithBom[] = L"BOM 付きの UTF-8";
inline constexpr wchar_t kUtf16BigEndian[] = L"ビッグ エンディアンの UTF-16";
inline constexpr wchar_t kUtf16WithoutBom[] = L"BOM のない UTF-16";

// Backups and restores.
inline constexpr wchar_t kCannotWriteName[] = L"改行や NUL 文字を含む名前は、レジストリ ファイルに書けません。";
inline constexpr wchar_t kNoProgramData[] =
    L"コンピューター共通のアプリケーション データのフォルダー（ProgramData）が見つかりません。";
inline constexpr wchar_t kRestored[] = L"復元しました。";
inline constexpr wchar_t kNothingToUndo[] = L"元に戻せる変更はありません。";
inline constexpr wchar_t kNothingToRedo[] = L"やり直せる変更はありません。";
inline constexpr wchar_t kUndone[] = L"元に戻しました。";
inline constexpr wchar_t kRedone[] = L"やり直しました。";
inline constexpr wchar_t kHistoryMoved[] =
    L"変更の履歴がほかで変わったため、中止しました。\nもう一度やり直して下さい。何も変更していません。";
inline constexpr wchar_t kPreviewTitle[] = L"変更の確認";
inline constexpr wchar_t kPlanning[] = L"変更する内容を調べています…";

// Why the policy refuses a key (after the key's name).
inline constexpr wchar_t kPolicyRoot[] = L"ルートキーそのものは変更できません。";
inline constexpr wchar_t kPolicyOutside[] = L"関連づけの記録ではないキーです。";
inline constexpr wchar_t kPolicyBadExtension[] = L"拡張子として使えない名前です。";
inline constexpr wchar_t kPolicyChoice[] =
    L"利用者の選択は Windows だけが書き込めるため、削除のほかは行えません。";
inline constexpr wchar_t kPolicyNotNamed[] = L"変更する拡張子のどれも指していないファイルタイプです。";
inline constexpr wchar_t kPolicySystemKey[] = L"システムが使うキーです。";
inline constexpr wchar_t kPolicyProtocol[] = L"プロトコルのキーです。";
inline constexpr wchar_t kPolicyComClass[] = L"COM のクラスが使うキーです。";
inline constexpr wchar_t kPolicyNotProtocol[] = L"変更するプロトコルのどれのキーでもありません。";
inline constexpr wchar_t kPolicyProgramExtension[] =
    L"プログラムの起動に使われる拡張子です。この拡張子の登録や削除のほかでは変更できません。";
inline constexpr wchar_t kPolicyNotSubject[] = L"変更する関連づけに含まれないキーです。";
inline constexpr wchar_t kPolicyNotAssociation[] = L"どの関連づけのキーでもありません。";
inline constexpr wchar_t kPolicyPerceivedType[] =
    L"画像や音楽など、種類ごとに多くの拡張子が使うキーで、どの拡張子の関連づけのものでもありません。";
inline constexpr wchar_t kPolicyProgramType[] = L"プログラムを起動するファイルタイプです。";
inline constexpr wchar_t kPolicyProtocolDisguise[] =
    L"プロトコルではない、すでにあるキーです。ファイルでプロトコルにすることはできません。";
inline constexpr wchar_t kPolicyBadApplication[] = L"アプリケーションの登録として使えない名前です。";
inline constexpr wchar_t kPolicyHiveNotLoaded[] =
    L"変更の対象の利用者のレジストリが読み込まれていない (サインインしていない) ため、利用者の記録は変更しません。";
inline constexpr wchar_t kPolicyLink[] = L"レジストリのリンクです。リンクを通して読み書きすることはありません。";

// The information after a delete: kUnlinked, and when the file type key was kept, a line naming
// it and the reason (for a shared one, the first other extension and how many more there are).
std::wstring UnlinkedMessage(const TLinkExtention::TUnlinkResult& result);

// The 警告 question before registering an extension that starts programs (StartsPrograms).
std::wstring ProgramExtensionWarning(std::wstring_view extension);

// The questions before undoing and redoing a change of the history: its time to the
// millisecond, what it was about and its operation; the undo also says when the change removed
// a per-user choice, which only Windows can make again.
std::wstring UndoQuestion(const THistoryEntry& change);
std::wstring RedoQuestion(const THistoryEntry& change);

// The policy's refusals: a file type another extension or another extension's choice names.
std::wstring PolicyShared(std::wstring_view extension);
std::wstring PolicyChosen(std::wstring_view extension);

// Who makes a reference to a file type, as a sentence names it: 拡張子「.x」の「プログラムから開く」の
// 候補, プロトコル「x:」の利用者の選択, アプリケーション「A」の登録, ファイルタイプ「F」の CurVer, ...
std::wstring Referrer(const TTypeReference& reference);

// The policy's refusal of a file type that something outside the change still names: another
// extension, its Open with list or choice, a protocol's choice, an application's registration, a
// CurVer or another account.
std::wstring PolicyUsedBy(const TTypeReference& reference);

// "キー「K」：" and the policy's reason.
std::wstring KeyRefused(std::wstring_view key, std::wstring_view reason);

// A change the policy refuses: the key, the reason, and that nothing was changed.
std::wstring ChangeRefused(std::wstring_view key, std::wstring_view reason);

// A key that no longer holds what the change was planned against: 「確認のあとで「KEY」が変わった
// ため、変更を行いませんでした。」
std::wstring KeyChangedSincePlanned(std::wstring_view key);

// A step that failed: the key, the step and the system's reason.
std::wstring StepFailed(const TChangeStep& step, std::wstring_view reason);
// A step that could not be undone after a failure, and why.
std::wstring StepLeft(const TChangeStep& step, std::wstring_view reason);
// A change that failed: the failure, then either that everything was put back or what is left.
std::wstring ChangeFailed(std::wstring_view failure, const std::vector<std::wstring>& left);

// The backups folder, or the one above it, is a link to another place.
std::wstring FolderIsLink(std::wstring_view folder);
std::wstring CannotSecureFolder(std::wstring_view folder);
// A file over the limit, in MB, that was not read.
std::wstring FileTooLarge(std::wstring_view fileName, unsigned long long limit);

// A history that is not used, and why.
std::wstring HistoryNotTrusted(std::wstring_view path);
std::wstring HistoryUnreadable(std::wstring_view path);
// A backup the history names that is gone, or that someone other than an administrator wrote.
std::wstring BackupMissing(std::wstring_view fileName);
std::wstring BackupNotTrusted(std::wstring_view fileName);
// A change, undo or redo that was not applied because the history could not record it first.
std::wstring HistoryNotWritten(std::wstring_view reason);

// "追加 N 件、変更 N 件、削除 N 件".
std::wstring PreviewSummary(size_t added, size_t changed, size_t removed);

// The preview's first lines: what needs attention, then what the change is about.
std::wstring NoticeSharedType(std::wstring_view fileType, const TTypeReference& reference);
std::wstring NoticeChoiceRemoved(std::wstring_view owner);
std::wstring NoticeProgramExtension(std::wstring_view extension);
std::wstring AboutExtensions(const std::vector<std::wstring>& extensions);
std::wstring AboutProtocols(const std::vector<std::wstring>& schemes);
std::wstring AboutFileType(std::wstring_view fileType, const std::vector<std::wstring>& extensions);
std::wstring AboutApplications(const std::vector<std::wstring>& names);
// A value cut in a step's line: "…（全 N 文字）"; a run of blanks: "‹空白 N›".
std::wstring CutMark(size_t length);
std::wstring Blanks(size_t count);

// What became of the last change, for a report of a fault.
enum class TChangeState { None, Applying, Applied, RolledBack, Left };
std::wstring ChangeStateText(TChangeState state, std::wstring_view change, size_t done, size_t total,
                             std::wstring_view undoFile);

// A change as the history names it: "拡張子「.txt」の登録".
std::wstring ChangeName(const THistoryEntry& change);

// The status line while a long change applies: "変更を適用しています… 3,200 / 10,000".
std::wstring Applying(size_t done, size_t total);

// A registry file in an encoding it is not read in: the encoding, and the ones to save it in.
std::wstring UnreadableEncoding(std::wstring_view encoding);

// A key path of more key names below its root than the registry nests.
std::wstring KeyTooDeep(size_t levels);

// "N行目：" and the fault.
std::wstring LineFault(int line, std::wstring_view fault);

// "バックアップを保存できませんでした。変更は行いません。" and the reason on the next line.
std::wstring BackupFailed(std::wstring_view reason);

// Reasons for BackupFailed and parts of the restore's messages.
std::wstring CannotCreateFolder(std::wstring_view folder);
std::wstring CannotWriteFile(std::wstring_view path);
std::wstring CannotReadKey(std::wstring_view key);

// A file that could not be read at all; nothing was changed.
std::wstring CannotReadFile(std::wstring_view fileName);

// A file refused before anything was written: its name, the fault with its line, and that
// nothing was changed.
std::wstring CannotRestore(std::wstring_view fileName, std::wstring_view fault);
// The same for a file being imported: 「ファイル「F」は読み込めません。」…
std::wstring CannotImport(std::wstring_view fileName, std::wstring_view fault);

}  // namespace assoc::texts
