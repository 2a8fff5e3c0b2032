#include "assoclist/assoc_table.h"

#include <windows.h>

#include <algorithm>
#include <numeric>
#include <unordered_set>


namespace assoclist {

std::wstring FoldCase(std::wstring_view text) {
  std::wstring folded(text);
  if (!folded.empty()) CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

void AssocTable::SetRows(std::vector<AssocRow> rows) {
  rows_.clear();
  folded_.clear();
  matches_.clear();
  order_.clear();
  AppendRows(std::move(rows));
}

void AssocTable::AppendRows(std::vector<AssocRow> rows) {
  const size_t old = rows_.size();
  rows_.reserve(old + rows.size());
  for (AssocRow& row : rows) rows_.push_back(std::move(row));
  folded_.resize(rows_.size());
  matches_.resize(rows_.size());
  order_.reserve(rows_.size());
  for (size_t i = old; i < rows_.size(); ++i) {
    Folded& f = folded_[i];
    size_t length = rows_[i].key.size() + 1;
    for (const std::wstring& cell : rows_[i].cells) length += cell.size() + 1;
    f.text.reserve(length);
    for (int column = 0; column < kColumnCount; ++column) {
      f.start[column] = static_cast<uint16_t>(f.text.size());
      f.text += rows_[i].cells[column];
      f.text += L'\0';
    }
    // The key is at most a key name long; the cells are cut (kCellLimit), so all fit 16 bits.
    f.start[kColumnCount] = static_cast<uint16_t>(f.text.size());
    f.text += rows_[i].key;
    f.text += L'\0';
    f.start[kColumnCount + 1] = static_cast<uint16_t>(f.text.size());
    CharLowerBuffW(f.text.data(), static_cast<DWORD>(f.text.size()));
    matches_[i] = MatchesText(static_cast<uint32_t>(i));
    order_.push_back(static_cast<uint32_t>(i));
  }
  const auto before = [this](uint32_t a, uint32_t b) { return Before(a, b); };
  const auto middle = order_.begin() + static_cast<ptrdiff_t>(old);
  std::sort(middle, order_.end(), before);
  std::inplace_merge(order_.begin(), middle, order_.end(), before);
  ApplyFilter();
}

void AssocTable::SetFilter(std::wstring_view text) {
  filter_ = std::wstring(text.substr(0, text.find(L'\0')));
  foldedFilter_ = FoldCase(filter_);
  for (uint32_t row = 0; row < rows_.size(); ++row) matches_[row] = MatchesText(row);
  ApplyFilter();
}

void AssocTable::SetKinds(KindFilter kinds) {
  kinds_ = kinds;
  ApplyFilter();
}

void AssocTable::SetProblemsOnly(bool on) {
  problemsOnly_ = on;
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

bool AssocTable::Before(uint32_t a, uint32_t b) const {
  const int c = FoldedCell(a, sortColumn_).compare(FoldedCell(b, sortColumn_));
  if (c != 0) return descending_ ? c > 0 : c < 0;
  return a < b;
}

bool AssocTable::MatchesText(uint32_t row) const {
  if (foldedFilter_.empty()) return true;
  // The cells only: the key is no column.
  const Folded& f = folded_[row];
  return std::wstring_view(f.text).substr(0, f.start[kColumnCount]).find(foldedFilter_) != std::wstring_view::npos;
}

bool AssocTable::Passes(uint32_t row) const {
  if (!matches_[row]) return false;
  if (problemsOnly_ && rows_[row].cells[kProblem].empty()) return false;
  switch (kinds_) {
    case KindFilter::Extensions:
      return rows_[row].kind == RowKind::Extension;
    case KindFilter::Protocols:
      return rows_[row].kind == RowKind::Protocol;
    case KindFilter::All:
      return true;
  }
  return true;
}

void AssocTable::Sort() {
  std::sort(order_.begin(), order_.end(), [this](uint32_t a, uint32_t b) { return Before(a, b); });
}

void AssocTable::ApplyFilter() {
  shown_.clear();
  for (uint32_t row : order_)
    if (Passes(row)) shown_.push_back(row);
}

std::vector<size_t> AssocTable::PositionsOf(std::span<const std::wstring> keys) const {
  // Compared with the keys, which the table holds folded already.
  std::vector<std::wstring> cells;
  cells.reserve(keys.size());
  for (const std::wstring& key : keys) cells.push_back(FoldCase(key));
  const std::unordered_set<std::wstring_view> wanted(cells.begin(), cells.end());
  std::vector<size_t> positions;
  if (wanted.empty()) return positions;
  for (size_t position = 0; position < shown_.size(); ++position)
    if (wanted.contains(FoldedCell(shown_[position], kColumnCount))) positions.push_back(position);
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
