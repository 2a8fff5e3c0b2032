#pragma once
// The rows of the list of associations with filters and a sort order: which rows are shown,
// and in which order. Rows may arrive in parts; filters and order apply to each part as it
// comes. Window-free.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "assoclist/assoc_rows.h"

namespace assoclist {

// Which kinds of rows are shown.
enum class KindFilter : uint8_t { Extensions, Protocols, All };

class AssocTable {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  // Replaces the rows (in registry order); the filters and the sort order apply to them.
  void SetRows(std::vector<AssocRow> rows);
  // Adds rows after those there (registry order goes on); each one is filtered and put in its
  // place in the sort order, in time linear in the rows there plus the new ones' own sort.
  void AppendRows(std::vector<AssocRow> rows);
  // Shows only rows of kind (Extensions at first).
  void SetKinds(KindFilter kinds);
  KindFilter Kinds() const { return kinds_; }
  // Shows only rows with a problem (a 問題 cell that is not empty) when on.
  void SetProblemsOnly(bool on);
  bool ProblemsOnly() const { return problemsOnly_; }
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
  // The positions of the shown rows whose key (AssocRow::key) is one of keys (letter case
  // aside), in ascending order.
  std::vector<size_t> PositionsOf(std::span<const std::wstring> keys) const;
  // The first shown position from start on (wrapping round) whose extension, with or without
  // its leading ".", begins with prefix, letter case aside; npos when none does.
  size_t FindPrefix(std::wstring_view prefix, size_t start) const;

 private:
  // A row's cells in lower case, then its key, each followed by a NUL, and where each starts.
  struct Folded {
    std::wstring text;
    std::array<uint16_t, kColumnCount + 2> start{};
  };
  // The folded cell of column; column kColumnCount is the key.
  std::wstring_view FoldedCell(uint32_t row, int column) const;
  bool Before(uint32_t a, uint32_t b) const;
  bool MatchesText(uint32_t row) const;
  bool Passes(uint32_t row) const;
  void Sort();
  void ApplyFilter();

  std::vector<AssocRow> rows_;
  std::vector<Folded> folded_;
  std::vector<uint8_t> matches_;  // per row: holds the filter's text
  std::vector<uint32_t> order_;   // every row, in sort order
  std::vector<uint32_t> shown_;   // the rows of order_ that the filters let through
  std::wstring filter_;
  std::wstring foldedFilter_;
  int sortColumn_ = kExtension;
  bool descending_ = false;
  KindFilter kinds_ = KindFilter::Extensions;
  bool problemsOnly_ = false;
};

// text in lower case, as the table compares it.
std::wstring FoldCase(std::wstring_view text);

}  // namespace assoclist
