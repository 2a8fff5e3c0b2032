#include "assoc/value_rows.h"

#include <gtest/gtest.h>

#include <cstring>

namespace assoctest {

namespace {

// Text with its terminating NUL, as REG_SZ holds it.
std::string Sz(std::wstring_view text) { return Utf16(text) + std::string(2, '\0'); }

// "00,01,...": the bytes from first to last (counted up from 0) as hex pairs, each followed by
// a comma but the very last of the value.
std::wstring Run(int first, int last, bool lastOfValue) {
  std::wstring out;
  for (int i = first; i <= last; ++i) {
    wchar_t pair[4];
    swprintf(pair, 4, L"%02x", i);
    out += pair;
    if (i < last || !lastOfValue) out += L',';
  }
  return out;
}

// Why some rows stay out of the import cross-check.
constexpr char kAddsTerminator[] = "the editor adds a NUL to text types that do not end in one";

std::string Counting(int count) {
  std::string data;
  for (int i = 0; i < count; ++i) data += static_cast<char>(i);
  return data;
}

}  // namespace

std::string Utf16(std::wstring_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string Hex(std::string_view pairs) {
  std::string data;
  for (size_t i = 0; i < pairs.size(); i += 3)
    data += static_cast<char>(std::stoi(std::string(pairs.substr(i, 2)), nullptr, 16));
  return data;
}

std::vector<ValueRow> ValueRows() {
  using E = EditorExport;
  std::vector<ValueRow> rows = {
      {"text", L"sz", REG_SZ, Sz(L"plain text"), LR"("sz"="plain text")"},
      {"quotes and backslashes", L"quote", REG_SZ, Sz(LR"(C:\dir\"x")"), LR"("quote"="C:\\dir\\\"x\"")"},
      {"empty text", L"empty", REG_SZ, Sz(L""), LR"("empty"="")"},
      {"text of no bytes", L"nothing", REG_SZ, "", LR"("nothing"=hex(1):)", E::Lossy},
      {"line breaks", L"lines", REG_SZ, Sz(L"a\r\nb"), LR"("lines"=hex(1):61,00,0d,00,0a,00,62,00,00,00)",
       E::Equivalent},
      {"a NUL inside", L"nul", REG_SZ, Sz(std::wstring(L"a\0b", 3)), LR"("nul"=hex(1):61,00,00,00,62,00,00,00)",
       E::Lossy},
      {"an odd byte count", L"odd", REG_SZ, Hex("61 00 62"), LR"("odd"=hex(1):61,00,62)", E::Lossy, kAddsTerminator},
      {"no terminator", L"unended", REG_SZ, Hex("61 00 62 00"), LR"("unended"=hex(1):61,00,62,00)", E::Lossy,
       kAddsTerminator},
      {"a multi-string without its last NUL", L"multiunended", REG_MULTI_SZ, Sz(L"a"),
       LR"("multiunended"=hex(7):61,00,00,00)", E::Same, kAddsTerminator},
      {"Japanese text", L"jp", REG_SZ, Sz(L"日本語のテキスト"), LR"("jp"="日本語のテキスト")"},
      {"long text", L"long", REG_SZ, Sz(std::wstring(300, L'x')), L"\"long\"=\"" + std::wstring(300, L'x') + L"\""},
      {"the default value", L"", REG_SZ, Sz(L"default"), LR"(@="default")"},
      {"expandable text", L"expand", REG_EXPAND_SZ, Sz(L"%A%"), LR"("expand"=hex(2):25,00,41,00,25,00,00,00)"},
      {"multi-string", L"multi", REG_MULTI_SZ, Sz(std::wstring(L"a\0b\0", 4)),
       LR"("multi"=hex(7):61,00,00,00,62,00,00,00,00,00)"},
      {"binary", L"binary", REG_BINARY, Hex("00 7f ff"), LR"("binary"=hex:00,7f,ff)"},
      {"binary of no bytes", L"nobytes", REG_BINARY, "", LR"("nobytes"=hex:)"},
      {"dword", L"dword", REG_DWORD, Hex("2a 00 00 00"), LR"("dword"=dword:0000002a)"},
      {"largest dword", L"dwordmax", REG_DWORD, Hex("ff ff ff ff"), LR"("dwordmax"=dword:ffffffff)"},
      {"dword of two bytes", L"shortdword", REG_DWORD, Hex("01 02"), LR"("shortdword"=hex(4):01,02)", E::Lossy},
      {"dword of no bytes", L"nodword", REG_DWORD, "", LR"("nodword"=hex(4):)"},
      {"qword", L"qword", REG_QWORD, Hex("2a 00 00 00 00 00 00 01"), LR"("qword"=hex(b):2a,00,00,00,00,00,00,01)"},
      {"none", L"none", REG_NONE, Hex("01"), LR"("none"=hex(0):01)"},
      {"none of no bytes", L"nonenothing", REG_NONE, "", LR"("nonenothing"=hex(0):)"},
      {"big-endian dword", L"bigendian", REG_DWORD_BIG_ENDIAN, Hex("00 00 00 01"),
       LR"("bigendian"=hex(5):00,00,00,01)"},
      {"an odd type", L"odd type", 0x12345, Hex("aa bb"), LR"("odd type"=hex(12345):aa,bb)"},
      {"a name with ] and =", L"n]=x", REG_SZ, Sz(L"v"), LR"("n]=x"="v")"},
      {"a name with quote and backslash", LR"(a"b\c)", REG_SZ, Sz(L"v"), LR"("a\"b\\c"="v")"},
      {"a name that is @", L"@", REG_SZ, Sz(L"v"), LR"("@"="v")"},
      {"a name with a line break", L"l\nb", REG_SZ, Sz(L"v"), LR"("l\nb"="v")"},
      {"a name with blanks", L" sp ", REG_SZ, Sz(L"v"), LR"(" sp "="v")"},
      {"a Japanese name", L"名前", REG_EXPAND_SZ, Sz(L"値"), LR"("名前"=hex(2):24,50,00,00)"},
      {"wrapped binary", L"wrap", REG_BINARY, Counting(50),
       L"\"wrap\"=hex:" + Run(0, 21, false) + L"\\\r\n  " + Run(22, 46, false) + L"\\\r\n  " + Run(47, 49, true)},
      {"wrapped after a long name", std::wstring(80, L'n'), REG_BINARY, Counting(3),
       L"\"" + std::wstring(80, L'n') + L"\"=hex:00,\\\r\n  01,02"},
  };
  // Where the lines break depends on the name's length and the byte count: the registry editor
  // shows how for these, whose lines are not written out here. The multi-strings end in their
  // NUL, which the editor would add otherwise.
  for (int length : {1, 20, 22, 23, 24, 25, 26, 47, 48, 49, 50, 73, 74, 75, 76, 100, 301}) {
    for (size_t nameLength : {1u, 3u, 40u, 66u, 67u, 68u}) {
      const bool multi = length % 2 == 0;
      rows.push_back({"wrapping", L"w" + std::to_wstring(length) + L"-" + std::wstring(nameLength, L'n'),
                      static_cast<DWORD>(multi ? REG_MULTI_SZ : REG_BINARY),
                      multi ? Counting(length - 2) + std::string(2, '\0') : Counting(length), L""});
    }
  }
  return rows;
}

void WriteRows(HKEY key, const std::vector<ValueRow>& rows) {
  for (const ValueRow& row : rows) {
    // A NUL after the data would make the API add a terminator to text types.
    const std::string padded = row.data + "\xFF\xFF";
    ASSERT_EQ(RegSetValueExW(key, row.name.c_str(), 0, row.type, reinterpret_cast<const BYTE*>(padded.data()),
                             static_cast<DWORD>(row.data.size())),
              ERROR_SUCCESS)
        << row.what;
  }
}

}  // namespace assoctest
