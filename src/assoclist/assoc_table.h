#pragma once
// The rows of the list of associations with a filter and a sort order: which rows are shown,
// and in which order. Window-free.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "assoclist/assoc_rows.h"

namespace assoclist {

class AssocTable {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  // Replaces the rows (in registry order); the filter and the sort order apply to them.
  void SetRows(std::vector<AssocRow> rows);
  // Shows only the rows of which some cell holds text, letter case aside (the text ends at a
  // NUL, should it hold one); the empty text shows every row.
  void SetFilter(std::wstring_view text);
  const std::wstring& Filter() const { return filter_; }
  // Sorts by column: reversed when column is the sort column already, else ascending.
  void SortBy(int column);
  // Sorts by column, descending or ascending. Cells compare as text with letter case aside;
  // equal cells keep the registry order.
  void SetSort(int column, bool descending);
  int SortColumn() const { return sortColumn_; }
  bool Descending() const { return descending_; }

  size_t RowCount() const { return rows_.size(); }
  size_t ShownCount() const { return shown_.size(); }
  // The row shown at position, 0 <= position < ShownCount().
  const AssocRow& Shown(size_t position) const { return rows_[shown_[position]]; }
  // The positions of the shown rows whose extension key is one of keys (letter case aside), in
  // ascending order.
  std::vector<size_t> PositionsOf(std::span<const std::wstring> keys) const;
  // The first shown position from start on (wrapping round) whose extension, with or without
  // its leading ".", begins with prefix, letter case aside; npos when none does.
  size_t FindPrefix(std::wstring_view prefix, size_t start) const;

 private:
  // A row's cells in lower case, each followed by a NUL, and where each one starts.
  struct Folded {
    std::wstring text;
    std::array<uint16_t, kColumnCount + 1> start{};
  };
  std::wstring_view FoldedCell(uint32_t row, int column) const;
  void Sort();
  void ApplyFilter();

  std::vector<AssocRow> rows_;
  std::vector<Folded> folded_;
  std::vector<uint32_t> order_;  // every row, in sort order
  std::vector<uint32_t> shown_;  // the rows of order_ that the filter lets through
  std::wstring filter_;
  std::wstring foldedFilter_;
  int sortColumn_ = kExtension;
  bool descending_ = false;
};

// text in lower case, as the table compares it.
std::wstring FoldCase(std::wstring_view text);

}  // namespace assoclist
