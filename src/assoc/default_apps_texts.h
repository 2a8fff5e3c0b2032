#pragma once
// The sentences of the default associations file's export and check, in Japanese and, for a
// console whose code page cannot show Japanese, in English. One row per finding kind holds both.

#include <cstddef>
#include <string>

#include "assoc/default_apps.h"

namespace assoc::defaults {

enum class Language : uint8_t { Japanese, English };

// A finding kind's weight and its sentence in both languages. In the sentences {line} and
// {column} stand for the finding's place, {id} for its identifier, {here} and {asked} for what the
// machine has and what the file asks, {reason} for the reader's reason (Malformed); each text
// from the file or the registry goes in with its invisible characters written out, cut after
// kShownLimit characters.
struct FindingText {
  FindingKind kind;
  Severity severity;
  const wchar_t* japanese;
  const wchar_t* english;
};

inline constexpr FindingText kFindingTexts[] = {
    {FindingKind::CannotRead, Severity::Problem, L"ファイルを開けません。{here}", L"The file cannot be opened. {here}"},
    {FindingKind::NotPlainFile, Severity::Problem,
     L"通常のファイルではありません。フォルダー、リンク、装置は確認しません。",
     L"This is not a plain file; folders, links and devices are not checked."},
    {FindingKind::TooLarge, Severity::Problem,
     L"ファイルが大きすぎます（{here} バイト）。確認できるのは 16 MB までのファイルです。",
     L"The file is too large ({here} bytes); files of up to 16 MB can be checked."},
    {FindingKind::BadEncoding, Severity::Problem,
     L"{line}行目 {column}文字目：UTF-8 として読めない文字があります。"
     L"UTF-8（または BOM 付きの UTF-16）で保存して下さい。",
     L"Line {line}, column {column}: a character that is not UTF-8. Save the file as UTF-8 (or as UTF-16 with a "
     L"byte order mark)."},
    {FindingKind::EncodingMismatch, Severity::Problem,
     L"{line}行目：宣言の文字コード「{asked}」が、ファイルの文字コード「{here}」と違います。",
     L"Line {line}: the declaration names the encoding \"{asked}\", but the file is {here}."},
    {FindingKind::Malformed, Severity::Problem, L"{line}行目 {column}文字目：XML として読めません。{reason}",
     L"Line {line}, column {column}: this is not well-formed XML. {reason}"},
    {FindingKind::NotDefaultAssociations, Severity::Problem,
     L"{line}行目：最上位の要素が「{asked}」です。既定の関連づけの構成ファイルは「DefaultAssociations」です。",
     L"Line {line}: the root element is \"{asked}\"; a default associations file has \"DefaultAssociations\"."},
    {FindingKind::UnknownElement, Severity::Problem,
     L"{line}行目：要素「{asked}」は、既定の関連づけの構成ファイルにはありません。",
     L"Line {line}: the element \"{asked}\" does not belong in a default associations file."},
    {FindingKind::UnknownAttribute, Severity::Problem,
     L"{line}行目：要素「{here}」に属性「{asked}」はありません（名前の大文字と小文字は区別されます）。",
     L"Line {line}: \"{here}\" has no attribute \"{asked}\" (names are case-sensitive)."},
    {FindingKind::UnexpectedText, Severity::Problem, L"{line}行目：要素の間に文字「{asked}」があります。",
     L"Line {line}: text \"{asked}\" between the elements."},
    {FindingKind::MissingAttribute, Severity::Problem, L"{line}行目：Association に属性「{asked}」がないか、空です。",
     L"Line {line}: the Association lacks \"{asked}\" or leaves it empty."},
    {FindingKind::BadIdentifier, Severity::Problem,
     L"{line}行目：「{id}」は、拡張子（「.」で始まるファイル名の終わり）でも"
     L"プロトコル（英字で始まる名前）でもありません。",
     L"Line {line}: \"{id}\" is neither an extension (the end of a file name, starting with \".\") nor a protocol (a "
     L"name starting with a letter)."},
    {FindingKind::Duplicate, Severity::Problem,
     L"{line}行目：「{id}」は {here}行目の「{asked}」と同じ種類です（大文字と小文字は区別しません）。"
     L"一つの種類は一度だけ指定して下さい。",
     L"Line {line}: \"{id}\" repeats \"{asked}\" of line {here} (letter case does not count); name each type once."},
    {FindingKind::BadValue, Severity::Problem,
     L"{line}行目：属性「{asked}」に値「{here}」は使えません。Suggested は「true」か「false」、Version は数字です。",
     L"Line {line}: \"{here}\" is no value for \"{asked}\"; Suggested takes \"true\" or \"false\", Version a number."},
    {FindingKind::ProgIdMissing, Severity::Problem,
     L"{line}行目：「{id}」のファイルタイプ「{asked}」が、このコンピューターにありません。"
     L"Windows はこの指定を何も言わずに飛ばします。",
     L"Line {line}: the ProgId \"{asked}\" of \"{id}\" does not exist on this computer; Windows skips the line "
     L"without a word."},
    {FindingKind::ProgramMissing, Severity::Problem,
     L"{line}行目：「{id}」のファイルタイプ「{asked}」が起動するプログラム「{here}」がありません。",
     L"Line {line}: the program \"{here}\" that the ProgId \"{asked}\" of \"{id}\" starts does not exist."},
    {FindingKind::Protected, Severity::Note,
     L"{line}行目：「{id}」は、Windows が既定のアプリの選択を保護する種類です。この指定が使われないことがあります。",
     L"Line {line}: Windows guards the default app of \"{id}\"; it may not take this line."},
    {FindingKind::NewerWindowsOnly, Severity::Note,
     L"{line}行目：属性「{asked}」を読むのは Windows 11 22H2 以降だけです。"
     L"それより前の Windows はこの属性を使いません。",
     L"Line {line}: only Windows 11 22H2 and later read \"{asked}\"; earlier versions ignore it."},
    {FindingKind::AppliedAtEverySignIn, Severity::Note,
     L"{line}行目：「{id}」は Suggested=\"false\" のため、サインインのたびに設定し直されます。"
     L"利用者が選び直しても元に戻ります。",
     L"Line {line}: \"{id}\" has Suggested=\"false\", so it is applied again at every sign-in, undoing the user's "
     L"own choice."},
};

// The most characters a sentence takes from one text before it is cut and "…" is appended.
inline constexpr size_t kShownLimit = 200;

// The weight of kind; Problem for a kind without a row.
Severity SeverityOf(FindingKind kind) noexcept;

// The sentence of finding, one line.
std::wstring FindingSentence(const Finding& finding, Language language);

// The last line of a check: no problem, or how many; and how many notes, when there are any.
std::wstring CheckSummary(const CheckResult& result, Language language);

// The line after an export: how many associations the file holds.
std::wstring ExportSummary(size_t count, Language language);

// The errors of the environment, both languages (DefaultAppsError).
DefaultAppsError NoXmlLibrary();
DefaultAppsError XmlWriteFailed(HRESULT code);

}  // namespace assoc::defaults
