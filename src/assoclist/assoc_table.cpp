#include "assoclist/assoc_table.h"

#include <windows.h>

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "assoclist/cell_text.h"

namespace assoclist {

std::wstring FoldCase(std::wstring_view text) {
  std::wstring folded(text);
  if (!folded.empty()) CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

void AssocTable::SetRows(std::vector<AssocRow> rows) {
  rows_ = std::move(rows);
  folded_.assign(rows_.size(), Folded{});
  for (size_t i = 0; i < rows_.size(); ++i) {
    Folded& f = folded_[i];
    size_t length = 0;
    for (const std::wstring& cell : rows_[i].cells) length += cell.size() + 1;
    f.text.reserve(length);
    for (int column = 0; column < kColumnCount; ++column) {
      f.start[column] = static_cast<uint16_t>(f.text.size());
      f.text += rows_[i].cells[column];
      f.text += L'\0';
    }
    f.start[kColumnCount] = static_cast<uint16_t>(f.text.size());
    CharLowerBuffW(f.text.data(), static_cast<DWORD>(f.text.size()));
  }
  order_.resize(rows_.size());
  std::iota(order_.begin(), order_.end(), 0u);
  Sort();
  ApplyFilter();
}

void AssocTable::SetFilter(std::wstring_view text) {
  filter_ = std::wstring(text.substr(0, text.find(L'\0')));
  foldedFilter_ = FoldCase(filter_);
  ApplyFilter();
}

void AssocTable::SortBy(int column) { SetSort(column, column == sortColumn_ ? !descending_ : false); }

void AssocTable::SetSort(int column, bool descending) {
  if (column < 0 || column >= kColumnCount) return;
  sortColumn_ = column;
  descending_ = descending;
  Sort();
  ApplyFilter();
}

std::wstring_view AssocTable::FoldedCell(uint32_t row, int column) const {
  const Folded& f = folded_[row];
  return std::wstring_view(f.text).substr(f.start[column], f.start[column + 1] - f.start[column] - 1);
}

void AssocTable::Sort() {
  const int column = sortColumn_;
  const bool descending = descending_;
  std::sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
    const int c = FoldedCell(a, column).compare(FoldedCell(b, column));
    if (c != 0) return descending ? c > 0 : c < 0;
    return a < b;
  });
}

void AssocTable::ApplyFilter() {
  shown_.clear();
  if (foldedFilter_.empty()) {
    shown_ = order_;
    return;
  }
  for (uint32_t row : order_)
    if (folded_[row].text.find(foldedFilter_) != std::wstring::npos) shown_.push_back(row);
}

std::vector<size_t> AssocTable::PositionsOf(std::span<const std::wstring> keys) const {
  // Compared as the extension cells show them, which the table holds folded already.
  std::vector<std::wstring> cells;
  cells.reserve(keys.size());
  for (const std::wstring& key : keys) cells.push_back(FoldCase(CellText(key)));
  const std::unordered_set<std::wstring_view> wanted(cells.begin(), cells.end());
  std::vector<size_t> positions;
  if (wanted.empty()) return positions;
  for (size_t position = 0; position < shown_.size(); ++position)
    if (wanted.contains(FoldedCell(shown_[position], kExtension))) positions.push_back(position);
  return positions;
}

size_t AssocTable::FindPrefix(std::wstring_view prefix, size_t start) const {
  if (shown_.empty() || prefix.empty()) return npos;
  const std::wstring folded = FoldCase(prefix);
  for (size_t step = 0; step < shown_.size(); ++step) {
    const size_t position = (start + step) % shown_.size();
    std::wstring_view extension = FoldedCell(shown_[position], kExtension);
    if (extension.starts_with(folded)) return position;
    if (!extension.empty() && extension.front() == L'.' && extension.substr(1).starts_with(folded)) return position;
  }
  return npos;
}

}  // namespace assoclist
