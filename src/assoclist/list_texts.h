#pragma once
// The sentences of the list of associations' window, kept apart from the window so that tests
// read them without one.

#include <cstddef>
#include <string>
#include <string_view>

namespace assoclist::texts {

inline constexpr wchar_t kListTitle[] = L"関連づけの一覧";
inline constexpr wchar_t kSaved[] = L"一覧を CSV ファイルに保存しました。";
inline constexpr wchar_t kNoClipboard[] = L"クリップボードにコピーできませんでした。";
inline constexpr wchar_t kExported[] = L"選んだ行の関連づけを登録ファイルに保存しました。";
inline constexpr wchar_t kSelectToExport[] = L"登録ファイルに保存する行を選んで下さい。";
inline constexpr wchar_t kSelectForDetails[] = L"詳細を表示する行を選んで下さい。";
inline constexpr wchar_t kSaveCancelled[] = L"保存を中止しました。ファイルには何も書き込んでいません。";

// The window's title: the list's name, then the application's name when there is one.
std::wstring WindowTitle(std::wstring_view application);

// A count with its thousands separated by commas.
std::wstring Grouped(size_t count);

// The status while rows are read: 「読み込み中… 3,200 / 10,000」 (keys examined of all).
std::wstring LoadingStatus(size_t examined, size_t total);
// The status once reading stopped early (Esc), with the rows shown.
std::wstring StoppedStatus(size_t examined, size_t total, size_t rows, size_t shown);
// The status once every key was read: all rows and those shown.
std::wstring ShownStatus(size_t rows, size_t shown);
// The status while a save waits for the reading's end: LoadingStatus, then what waits and how
// to drop it.
std::wstring SaveWaitStatus(size_t examined, size_t total);

// The outcome of CSV で保存 that wrote count rows: kSaved with the count after it, or, when the
// reading had been stopped before its end, a sentence that says the list was not read whole.
std::wstring CsvSaved(size_t count, bool complete);
// The outcome of REG で保存 that wrote count rows: kExported with the count after it.
std::wstring RegSaved(size_t count);
// The line of a check's box after the shown findings it lists: how many more there are.
std::wstring MoreFindings(size_t shown, size_t more);

}  // namespace assoclist::texts
