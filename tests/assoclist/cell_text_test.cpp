// What a cell shows of a text or a registry value: one line, every control character visible,
// cut at the limit without splitting a character, non-text values by type and value.
#include "assoclist/cell_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using assoclist::CellText;
using assoclist::kCellLimit;
using assoclist::ValueCellText;

TEST(CellTextTest, EscapesWhatWouldBreakTheLineOrHideAndCutsAtTheLimit) {
  const std::wstring a(kCellLimit, L'a');
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"", L""},
      {L"C:\\Program Files\\x.exe \"%1\"", L"C:\\Program Files\\x.exe \"%1\""},
      {L"日本語のファイル", L"日本語のファイル"},
      {L"a\tb\nc\rd", L"a\\tb\\nc\\rd"},
      {std::wstring(L"nul\0end", 7), L"nul\\x00end"},
      {L"\x1b[31m\x7f\x85", L"\\x1B[31m\\x7F\\x85"},
      // Marks that break lines or turn the direction of the text after them.
      {L"a\u2028b\u2029c\u202Ed\u2066e\u200Ff\uFEFF", L"a\\u2028b\\u2029c\\u202Ed\\u2066e\\u200Ff\\uFEFF"},
      {L"emoji \U0001F600", L"emoji \U0001F600"},
      {a, a},
      {a + L"b", a + L"…"},
      {std::wstring(1 << 20, L'x'), std::wstring(kCellLimit, L'x') + L"…"},
      // An escape is never split; a surrogate pair is never split.
      {std::wstring(kCellLimit - 1, L'a') + L"\n\nz", std::wstring(kCellLimit - 1, L'a') + L"\\n…"},
      {std::wstring(kCellLimit - 1, L'a') + L"\U0001F600z", std::wstring(kCellLimit - 1, L'a') + L"…"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(CellText(text), shown) << testing::PrintToString(text.substr(0, 40));
}

// A value's bytes from UTF-16 code units.
std::vector<BYTE> Bytes(std::wstring_view units) {
  const auto* p = reinterpret_cast<const BYTE*>(units.data());
  return std::vector<BYTE>(p, p + units.size() * sizeof(wchar_t));
}

TEST(CellTextTest, ValuesShowTheirTextOrTheirTypeAndValue) {
  struct Case {
    DWORD type;
    std::vector<BYTE> data;
    std::wstring shown;
  };
  const std::vector<Case> cases = {
      {REG_SZ, Bytes(std::wstring(L"text\0", 5)), L"text"},
      {REG_SZ, Bytes(std::wstring(L"cut\0rest\0", 9)), L"cut"},
      {REG_SZ, {}, L""},
      {REG_SZ, {'a', 0, 'b'}, L"a"},  // an odd last byte is dropped
      {REG_EXPAND_SZ, Bytes(std::wstring(L"%SystemRoot%\\x.dll\0", 19)), L"%SystemRoot%\\x.dll"},
      {REG_DWORD, {7, 0, 0, 0}, L"REG_DWORD: 0x00000007 (7)"},
      {REG_DWORD, {0xff, 0xff, 0xff, 0xff}, L"REG_DWORD: 0xffffffff (4294967295)"},
      {REG_DWORD, {1, 2, 3}, L"REG_DWORD: 01 02 03"},
      {REG_DWORD_BIG_ENDIAN, {0, 0, 1, 2}, L"REG_DWORD_BIG_ENDIAN: 0x00000102 (258)"},
      {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 1}, L"REG_QWORD: 0x0100000000000001 (72057594037927937)"},
      {REG_BINARY, {0x00, 0x7f, 0xff}, L"REG_BINARY: 00 7f ff"},
      {REG_NONE, {}, L"REG_NONE"},
      {REG_NONE, {0x41}, L"REG_NONE: 41"},
      {REG_MULTI_SZ, Bytes(std::wstring(L"one\0two\0\0", 9)), L"REG_MULTI_SZ: one\\x00two"},
      {REG_MULTI_SZ, Bytes(std::wstring(L"a\nb\0\0", 5)), L"REG_MULTI_SZ: a\\nb"},
      {REG_LINK, Bytes(L"\\REGISTRY"), L"REG_LINK: 5c 00 52 00 45 00 47 00 49 00 53 00 54 00 52 00 59 00"},
      {99, {1}, L"種類 99: 01"},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueCellText(c.type, c.data), c.shown) << c.type;

  // A megabyte of binary data is cut like text.
  const std::wstring big = ValueCellText(REG_BINARY, std::vector<BYTE>(1 << 20, 0xab));
  EXPECT_LE(big.size(), kCellLimit + 4);
  EXPECT_EQ(big.substr(0, 18), L"REG_BINARY: ab ab ");
  EXPECT_EQ(big.back(), L'…');
}

}  // namespace
