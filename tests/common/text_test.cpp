#include "common/text.h"

#include <gtest/gtest.h>

namespace {

struct IntCase {
  const wchar_t* text;
  bool ok;
  int value;
};

TEST(TryStrToInt, AcceptsDecimalAndHexadecimalFormsAndRejectsTheRest) {
  const IntCase cases[] = {
      {L"0", true, 0},
      {L"12", true, 12},
      {L"-1", true, -1},
      {L"+7", true, 7},
      {L"   7", true, 7},
      {L"2147483647", true, 2147483647},
      {L"-2147483648", true, -2147483647 - 1},
      {L"2147483648", false, 0},
      {L"-2147483649", false, 0},
      {L"0x1F", true, 31},
      {L"0X1f", true, 31},
      {L"$10", true, 16},
      {L"x10", true, 16},
      {L"X10", true, 16},
      {L"-$10", true, -16},
      {L"$FFFFFFFF", true, -1},
      {L"$00000000FF", true, 255},
      {L"$100000000", false, 0},
      {L"", false, 0},
      {L" ", false, 0},
      {L"-", false, 0},
      {L"$", false, 0},
      {L"0x", false, 0},
      {L"1.5", false, 0},
      {L"12a", false, 0},
      {L"7 ", false, 0},
      {L"\t7", false, 0},
      {L"１２", false, 0},
      {L"--1", false, 0},
  };
  for (const auto& c : cases) {
    int value = 12345;
    EXPECT_EQ(common::TryStrToInt(c.text, value), c.ok) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(value, c.ok ? c.value : 12345) << testing::PrintToString(std::wstring(c.text));
  }
  EXPECT_EQ(common::StrToIntDef(L"abc", 9), 9);
  EXPECT_EQ(common::StrToIntDef(L"-102", 9), -102);
}

TEST(PathText, FileNamePartAndExtensionChange) {
  EXPECT_EQ(common::ExtractFileName(L"C:\\work\\a.INI"), L"a.INI");
  EXPECT_EQ(common::ExtractFileName(L"C:a.ini"), L"a.ini");
  EXPECT_EQ(common::ExtractFileName(L"plain.ini"), L"plain.ini");
  EXPECT_EQ(common::ExtractFileName(L"C:\\dir\\"), L"");

  EXPECT_EQ(common::ChangeFileExt(L"C:\\x\\tavrelo.exe", L".chm"), L"C:\\x\\tavrelo.chm");
  EXPECT_EQ(common::ChangeFileExt(L"C:\\x.y\\tavrelo", L".chm"), L"C:\\x.y\\tavrelo.chm");
  EXPECT_EQ(common::ChangeFileExt(L"C:\\x\\a.b.exe", L".chm"), L"C:\\x\\a.b.chm");
}

}  // namespace
