#include "assoclist/list_texts.h"

namespace assoclist::texts {

std::wstring WindowTitle(std::wstring_view application) {
  std::wstring title = kListTitle;
  if (!application.empty()) title += L" - " + std::wstring(application);
  return title;
}

std::wstring Grouped(size_t count) {
  std::wstring digits = std::to_wstring(count);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, L',');
  return digits;
}

std::wstring LoadingStatus(size_t examined, size_t total) {
  return L"読み込み中… " + Grouped(examined) + L" / " + Grouped(total);
}

std::wstring StoppedStatus(size_t examined, size_t total, size_t rows, size_t shown) {
  return L"読み込みを中止しました (" + Grouped(examined) + L" / " + Grouped(total) + L")。読み込んだ " + Grouped(rows) +
         L" 件中 " + Grouped(shown) + L" 件を表示しています。F5 キーで読み直します。";
}

std::wstring ShownStatus(size_t rows, size_t shown) {
  return L"全 " + Grouped(rows) + L" 件中 " + Grouped(shown) + L" 件を表示しています。";
}

std::wstring SaveWaitStatus(size_t examined, size_t total) {
  return LoadingStatus(examined, total) + L"　読み込みが終わってから保存します。Esc キーで保存を中止します。";
}

std::wstring CsvSaved(size_t count, bool complete) {
  if (!complete) return L"読み込みを中止した一覧の " + Grouped(count) + L" 件を CSV ファイルに保存しました。";
  return kSaved + (L"（" + Grouped(count) + L" 件）");
}

std::wstring RegSaved(size_t count) { return kExported + (L"（" + Grouped(count) + L" 件）"); }

std::wstring MoreFindings(size_t shown, size_t more) {
  return L"ほかに " + Grouped(more) + L" 件あります。ここでは最初の " + Grouped(shown) + L" 件だけを表示しています。";
}

}  // namespace assoclist::texts
