// The clipboard's text and the CSV file's bytes, byte for byte.
#include "assoclist/export_text.h"

#include <gtest/gtest.h>

namespace {

using assoclist::AssocRow;

AssocRow Row(std::array<std::wstring, assoclist::kColumnCount> cells) {
  AssocRow row;
  row.key = cells[0];
  row.cells = std::move(cells);
  return row;
}

const AssocRow kPlain = Row({L".abc", L"abcFile", L"ABC ファイル", L"\"C:\\Tools\\abc.exe\" \"%1\"", L"C:\\Tools\\abc.exe,0", L""});
const AssocRow kOdd = Row({L".c,v", L"a\"b", L"", L"line\r\nbreak", L"", L"C:\\v.exe（利用者の選択）"});

TEST(ExportTextTest, ClipboardTextIsTabSeparatedWithAHeadingLine) {
  const AssocRow* rows[] = {&kPlain, &kOdd};
  EXPECT_EQ(assoclist::TabSeparatedText(rows),
            L"拡張子\tファイルタイプ\tファイルタイプの説明\t実行プログラム\tアイコン\tエクスプローラーが使うプログラム\r\n"
            L".abc\tabcFile\tABC ファイル\t\"C:\\Tools\\abc.exe\" \"%1\"\tC:\\Tools\\abc.exe,0\t\r\n"
            L".c,v\ta\"b\t\tline\r\nbreak\t\tC:\\v.exe（利用者の選択）\r\n");
  EXPECT_EQ(assoclist::TabSeparatedText({}),
            L"拡張子\tファイルタイプ\tファイルタイプの説明\t実行プログラム\tアイコン\tエクスプローラーが使うプログラム\r\n");
}

TEST(ExportTextTest, CsvIsUtf8WithItsMarkAndQuotesOnlyWhereNeeded) {
  const AssocRow* rows[] = {&kPlain, &kOdd};
  const std::string expected =
      "\xEF\xBB\xBF"
      "\xE6\x8B\xA1\xE5\xBC\xB5\xE5\xAD\x90,"                                           // 拡張子
      "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x97,"  // ファイルタイプ
      "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x97"
      "\xE3\x81\xAE\xE8\xAA\xAC\xE6\x98\x8E,"                                            // ファイルタイプの説明
      "\xE5\xAE\x9F\xE8\xA1\x8C\xE3\x83\x97\xE3\x83\xAD\xE3\x82\xB0\xE3\x83\xA9\xE3\x83\xA0,"  // 実行プログラム
      "\xE3\x82\xA2\xE3\x82\xA4\xE3\x82\xB3\xE3\x83\xB3,"                                // アイコン
      "\xE3\x82\xA8\xE3\x82\xAF\xE3\x82\xB9\xE3\x83\x97\xE3\x83\xAD\xE3\x83\xBC\xE3\x83\xA9\xE3\x83\xBC"
      "\xE3\x81\x8C\xE4\xBD\xBF\xE3\x81\x86\xE3\x83\x97\xE3\x83\xAD\xE3\x82\xB0\xE3\x83\xA9\xE3\x83\xA0\r\n"
      ".abc,abcFile,ABC \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB,\"\"\"C:\\Tools\\abc.exe\"\" \"\"%1\"\"\","
      "\"C:\\Tools\\abc.exe,0\",\r\n"
      "\".c,v\",\"a\"\"b\",,\"line\r\nbreak\",,C:\\v.exe\xEF\xBC\x88\xE5\x88\xA9\xE7\x94\xA8\xE8\x80\x85\xE3\x81\xAE"
      "\xE9\x81\xB8\xE6\x8A\x9E\xEF\xBC\x89\r\n";
  EXPECT_EQ(assoclist::CsvBytes(rows), expected);
}

TEST(ExportTextTest, CsvCellsThatASpreadsheetWouldTakeForFormulasStayText) {
  const AssocRow formulas = Row({L"=1+1", L"+cmd", L"-x", L"@SUM(A1)", L"=HYPERLINK(\"a\",\"b\")", L"a=b"});
  const AssocRow* rows[] = {&formulas};
  const std::string bytes = assoclist::CsvBytes(rows);
  const std::string last = bytes.substr(bytes.rfind("\r\n", bytes.size() - 3) + 2);
  EXPECT_EQ(last, "'=1+1,'+cmd,'-x,'@SUM(A1),\"'=HYPERLINK(\"\"a\"\",\"\"b\"\")\",a=b\r\n");
  // The clipboard's text is for pasting as it is.
  EXPECT_NE(assoclist::TabSeparatedText(rows).find(L"=1+1\t+cmd"), std::wstring::npos);
}

}  // namespace
