// Which rows the list shows and in which order: the filter over every column with letter case
// aside, sorting by any column both ways with ties in registry order, finding rows again.
#include "assoclist/assoc_table.h"

#include <gtest/gtest.h>

namespace {

using assoclist::AssocRow;
using assoclist::AssocTable;

AssocRow Row(std::wstring ext, std::wstring type, std::wstring description, std::wstring command,
             std::wstring icon = L"", std::wstring explorer = L"") {
  AssocRow row;
  row.key = ext;
  row.cells = {ext, type, description, command, icon, explorer};
  return row;
}

// The rows in registry order.
std::vector<AssocRow> Rows() {
  return {
      Row(L".abc", L"abcFile", L"ABC ファイル", L"C:\\Tools\\abc.exe \"%1\""),
      Row(L".Doc", L"Word.Doc", L"文書", L"C:\\Office\\word.exe", L"", L"利用者の選択：C:\\v.exe"),
      Row(L".txt", L"txtfile", L"テキスト文書", L"notepad.exe %1"),
      Row(L".zip", L"", L"", L""),
      Row(L".ＡＢＣ", L"wide", L"全角", L"C:\\wide.exe"),
  };
}

std::vector<std::wstring> Shown(const AssocTable& table) {
  std::vector<std::wstring> keys;
  for (size_t i = 0; i < table.ShownCount(); ++i) keys.push_back(table.Shown(i).key);
  return keys;
}

TEST(AssocTableTest, FilterKeepsRowsWithTheTextInAnyColumnLetterCaseAside) {
  AssocTable table;
  table.SetRows(Rows());
  const std::pair<std::wstring, std::vector<std::wstring>> cases[] = {
      {L"", {L".abc", L".Doc", L".txt", L".zip", L".ＡＢＣ"}},
      {L"ABC", {L".abc"}},
      {L"doc", {L".Doc"}},
      {L"文書", {L".Doc", L".txt"}},
      {L"ａｂｃ", {L".ＡＢＣ"}},
      {L"utzer", {}},
      {L"利用者の選択", {L".Doc"}},
      {L"\\tools\\", {L".abc"}},
      {L"exe \"%1", {L".abc"}},
      // A match never spans two cells.
      {L"abcfile", {L".abc"}},
      {L"abc.abcfile", {}},
      {std::wstring(L"zip\0ignored", 11), {L".zip"}},
  };
  for (const auto& [filter, keys] : cases) {
    table.SetFilter(filter);
    EXPECT_EQ(Shown(table), keys) << testing::PrintToString(filter);
    EXPECT_EQ(table.RowCount(), 5u);
  }
  EXPECT_EQ(table.Filter(), L"zip");
}

TEST(AssocTableTest, SortsByAnyColumnBothWaysAndKeepsFilterAndOrderOverNewRows) {
  AssocTable table;
  table.SetRows(Rows());
  EXPECT_EQ(table.SortColumn(), assoclist::kExtension);
  EXPECT_FALSE(table.Descending());
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L".abc", L".Doc", L".txt", L".zip", L".ＡＢＣ"}));

  table.SortBy(assoclist::kDescription);
  EXPECT_FALSE(table.Descending());
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L".zip", L".abc", L".txt", L".ＡＢＣ", L".Doc"}));
  table.SortBy(assoclist::kDescription);
  EXPECT_TRUE(table.Descending());
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L".Doc", L".ＡＢＣ", L".txt", L".abc", L".zip"}));
  table.SortBy(assoclist::kExtension);
  EXPECT_FALSE(table.Descending()) << "another column starts ascending";

  // Equal cells keep the registry order, both ways.
  table.SetSort(assoclist::kExplorer, false);
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L".abc", L".txt", L".zip", L".ＡＢＣ", L".Doc"}));
  table.SetSort(assoclist::kExplorer, true);
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L".Doc", L".abc", L".txt", L".zip", L".ＡＢＣ"}));

  table.SetSort(assoclist::kCommand, true);
  table.SetFilter(L"exe");
  std::vector<AssocRow> fresh = Rows();
  fresh.push_back(Row(L".bat", L"batfile", L"バッチ", L"C:\\zzz.exe"));
  table.SetRows(fresh);
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L".txt", L".bat", L".ＡＢＣ", L".abc", L".Doc"}));
  EXPECT_EQ(table.RowCount(), 6u);

  table.SetSort(assoclist::kColumnCount, false);
  EXPECT_EQ(table.SortColumn(), assoclist::kCommand) << "no such column";
}

TEST(AssocTableTest, FindsShownRowsByKeyAndByTheBeginningOfTheExtension) {
  AssocTable table;
  table.SetRows(Rows());
  const std::vector<std::wstring> keys = {L".TXT", L".abc", L".none"};
  EXPECT_EQ(table.PositionsOf(keys), (std::vector<size_t>{0, 2}));
  table.SetFilter(L"文書");
  EXPECT_EQ(table.PositionsOf(keys), (std::vector<size_t>{1}));
  EXPECT_TRUE(table.PositionsOf({}).empty());
  table.SetFilter(L"");

  EXPECT_EQ(table.FindPrefix(L"t", 0), 2u);
  EXPECT_EQ(table.FindPrefix(L".T", 0), 2u);
  EXPECT_EQ(table.FindPrefix(L"d", 2), 1u) << "the search wraps round";
  EXPECT_EQ(table.FindPrefix(L"q", 0), AssocTable::npos);
  EXPECT_EQ(table.FindPrefix(L"", 0), AssocTable::npos);
  table.SetFilter(L"nothing");
  EXPECT_EQ(table.FindPrefix(L"t", 0), AssocTable::npos);
}

}  // namespace

namespace {

AssocRow Kinded(std::wstring key, assoclist::RowKind kind, std::wstring problem = L"") {
  AssocRow row = Row(kind == assoclist::RowKind::Protocol ? key + L":" : key, L"", L"", L"");
  row.key = std::move(key);
  row.kind = kind;
  row.cells[assoclist::kProblem] = std::move(problem);
  return row;
}

TEST(AssocTableTest, RowsAddedInPartsAreFilteredAndSortedAsIfTheyHadComeAtOnce) {
  using assoclist::KindFilter;
  using assoclist::RowKind;
  std::vector<AssocRow> all = Rows();
  all.push_back(Kinded(L"mailto", RowKind::Protocol));
  all.push_back(Kinded(L".bad", RowKind::Extension, L"ファイルタイプがありません"));
  all.push_back(Kinded(L"web", RowKind::Protocol, L"プログラムが見つかりません"));
  const struct {
    int column;
    bool descending;
    const wchar_t* filter;
    KindFilter kinds;
    bool problemsOnly;
  } views[] = {
      {assoclist::kExtension, false, L"", KindFilter::Extensions, false},
      {assoclist::kDescription, true, L"", KindFilter::All, false},
      {assoclist::kExtension, true, L"t", KindFilter::All, false},
      {assoclist::kExtension, false, L"", KindFilter::Protocols, false},
      {assoclist::kProblem, false, L"", KindFilter::All, true},
  };
  for (const auto& v : views) {
    AssocTable atOnce, inParts;
    for (AssocTable* table : {&atOnce, &inParts}) {
      table->SetSort(v.column, v.descending);
      table->SetFilter(v.filter);
      table->SetKinds(v.kinds);
      table->SetProblemsOnly(v.problemsOnly);
    }
    atOnce.SetRows(all);
    inParts.SetRows({all.begin(), all.begin() + 3});
    inParts.AppendRows({all.begin() + 3, all.begin() + 4});
    inParts.AppendRows({});
    inParts.AppendRows({all.begin() + 4, all.end()});
    EXPECT_EQ(Shown(inParts), Shown(atOnce)) << v.column << testing::PrintToString(std::wstring(v.filter));
    EXPECT_EQ(inParts.RowCount(), all.size());
  }
  AssocTable table;
  table.SetRows(all);
  table.SetKinds(KindFilter::Protocols);
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L"mailto", L"web"}));
  table.SetProblemsOnly(true);
  EXPECT_EQ(Shown(table), std::vector<std::wstring>{L"web"});
  table.SetKinds(KindFilter::All);
  EXPECT_EQ(Shown(table), (std::vector<std::wstring>{L".bad", L"web"}));
  const std::wstring keys[] = {L"WEB", L"mailto:"};
  EXPECT_EQ(table.PositionsOf(keys), std::vector<size_t>{1}) << "rows are found by their keys, not their cells";
}

}  // namespace
