// The clipboard's text and the CSV file's bytes, byte for byte.
#include "assoclist/export_text.h"

#include <gtest/gtest.h>

#include "support/temp_files.h"

namespace {

using assoclist::AssocRow;

AssocRow Row(std::array<std::wstring, assoclist::kColumnCount> cells) {
  AssocRow row;
  row.key = cells[0];
  row.cells = std::move(cells);
  return row;
}

const AssocRow kPlain = Row({L".abc", L"abcFile", L"ABC ファイル", L"\"C:\\Tools\\abc.exe\" \"%1\"", L"C:\\Tools\\abc.exe,0", L"", L""});
const AssocRow kOdd = Row({L".c,v", L"a\"b", L"", L"line\r\nbreak", L"", L"C:\\v.exe（利用者の選択）", L"プログラムが見つかりません"});

TEST(ExportTextTest, ClipboardTextIsTabSeparatedWithAHeadingLine) {
  const AssocRow* rows[] = {&kPlain, &kOdd};
  EXPECT_EQ(assoclist::TabSeparatedText(rows),
            L"拡張子\tファイルタイプ\tファイルタイプの説明\t実行プログラム\tアイコン\tエクスプローラーが使うプログラム\t問題\r\n"
            L".abc\tabcFile\tABC ファイル\t\"C:\\Tools\\abc.exe\" \"%1\"\tC:\\Tools\\abc.exe,0\t\t\r\n"
            L".c,v\ta\"b\t\tline\r\nbreak\t\tC:\\v.exe（利用者の選択）\tプログラムが見つかりません\r\n");
  EXPECT_EQ(assoclist::TabSeparatedText({}),
            L"拡張子\tファイルタイプ\tファイルタイプの説明\t実行プログラム\tアイコン\tエクスプローラーが使うプログラム\t問題\r\n");
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
      "\xE3\x81\x8C\xE4\xBD\xBF\xE3\x81\x86\xE3\x83\x97\xE3\x83\xAD\xE3\x82\xB0\xE3\x83\xA9\xE3\x83\xA0,"
      "\xE5\x95\x8F\xE9\xA1\x8C\r\n"  // 問題
      ".abc,abcFile,ABC \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB,\"\"\"C:\\Tools\\abc.exe\"\" \"\"%1\"\"\","
      "\"C:\\Tools\\abc.exe,0\",,\r\n"
      "\".c,v\",\"a\"\"b\",,\"line\r\nbreak\",,C:\\v.exe\xEF\xBC\x88\xE5\x88\xA9\xE7\x94\xA8\xE8\x80\x85\xE3\x81\xAE"
      "\xE9\x81\xB8\xE6\x8A\x9E\xEF\xBC\x89," +
      testsupport::Utf8(L"プログラムが見つかりません") + "\r\n";
  EXPECT_EQ(assoclist::CsvBytes(rows), expected);
}

TEST(ExportTextTest, CsvCellsThatASpreadsheetWouldTakeAsAFormulaBeginWithAQuote) {
  const AssocRow formulas =
      Row({L"=1+1", L"+cmd", L"-2", L"@SUM(A1)", L"'=x", L"a=b", L"=\"q\","});
  const AssocRow* rows[] = {&formulas};
  const std::string bytes = assoclist::CsvBytes(rows);
  const std::string line = bytes.substr(bytes.find("\r\n") + 2);
  EXPECT_EQ(line, "'=1+1,'+cmd,'-2,'@SUM(A1),'=x,a=b,\"'=\"\"q\"\",\"\r\n");
  EXPECT_EQ(assoclist::TabSeparatedText(rows).substr(assoclist::TabSeparatedText({}).size()),
            L"=1+1\t+cmd\t-2\t@SUM(A1)\t'=x\ta=b\t=\"q\",\r\n")
      << "the clipboard keeps the cells as shown";
}

}  // namespace
