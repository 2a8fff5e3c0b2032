#include "assoc/reg_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/encoded_files.h"
#include "assoc/reg_snapshot.h"
#include "assoc/store_fixture.h"
#include "assoc/value_rows.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using testsupport::TreeDump;
using assoctest::Utf16;
using testsupport::CreateKey;
using testsupport::WriteValue;

constexpr wchar_t kBase[] = L"Software\\Fmt";
constexpr wchar_t kFullBase[] = L"HKEY_CURRENT_USER\\Software\\Fmt";

// The text of a registry file's bytes, without its byte-order mark.
std::wstring TextOf(const std::string& bytes) {
  if (bytes.size() < 2) return L"<short>";
  std::wstring text((bytes.size() - 2) / 2, L'\0');
  std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);
  return text;
}

// A registry file of these lines, each ended by CR LF, with the byte-order mark.
std::string FileOf(std::initializer_list<std::wstring> lines) {
  std::wstring text = L"\xFEFF";
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return Utf16(text);
}

std::string Snapshot(const std::wstring& path) {
  assoc::TRegDocument document;
  assoc::AppendKeySnapshot(path, document);
  return assoc::WriteRegFile(document);
}

class RegFile : public assoctest::StoreTest {};

TEST_F(RegFile, WritesEachValueTypeAsTheEditorDoesAndReadsItBackToTheSameBytes) {
  const std::vector<assoctest::ValueRow> rows = assoctest::ValueRows();
  {
    common::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kBase, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    assoctest::WriteRows(key.get(), rows);
  }
  // Key names that the file's brackets and separators must not confuse, a key without values
  // and a deep one.
  for (const wchar_t* name : {L"a]b", L"x=y", L"[open", L"-lead", L" sp ", L"日本", L"@", L"\"q\""})
    WriteValue(HKEY_CURRENT_USER, std::wstring(kBase) + L"\\" + name, L"v", REG_SZ, name);
  CreateKey(HKEY_CURRENT_USER, std::wstring(kBase) + L"\\empty");
  std::wstring deep = std::wstring(kBase) + L"\\deep";
  for (int level = 0; level < 30; ++level) deep += L"\\" + std::to_wstring(level);
  WriteValue(HKEY_CURRENT_USER, deep, L"", REG_SZ, L"bottom");
  const std::wstring before = TreeDump(HKEY_CURRENT_USER, kBase);

  const std::string bytes = Snapshot(kFullBase);
  const std::wstring text = TextOf(bytes);
  for (const assoctest::ValueRow& row : rows) {
    if (!row.line.empty()) {
      EXPECT_NE(text.find(L"\r\n" + row.line + L"\r\n"), std::wstring::npos) << row.what;
    }
  }
  for (const wchar_t* header : {L"[HKEY_CURRENT_USER\\Software\\Fmt\\a]b]",
                                L"[HKEY_CURRENT_USER\\Software\\Fmt\\-lead]",
                                L"[HKEY_CURRENT_USER\\Software\\Fmt\\empty]"})
    EXPECT_NE(text.find(std::wstring(L"\r\n\r\n") + header + L"\r\n"), std::wstring::npos) << header;

  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kBase), ERROR_SUCCESS);
  const assoc::TRegDocument read = assoc::ReadRegFile(bytes);
  assoctest::ApplyDocument(read);
  EXPECT_EQ(testsupport::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, kBase)), L"");
  // Reading and writing again changes nothing, and a second restore over the tree neither.
  EXPECT_EQ(assoc::WriteRegFile(read), bytes);
  assoctest::ApplyDocument(read);
  EXPECT_EQ(testsupport::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, kBase)), L"");
}

TEST_F(RegFile, AFileIsUtf16WithItsMarkAndCrLfAndNamesAMissingKeyForRemovalOnly) {
  WriteValue(HKEY_CURRENT_USER, L"Software\\T", L"", REG_SZ, L"x");
  WriteValue(HKEY_CURRENT_USER, L"Software\\T\\s", L"n", REG_DWORD, L"1");
  assoc::TRegDocument document;
  assoc::AppendKeySnapshot(L"HKEY_CURRENT_USER\\Software\\T", document);
  assoc::AppendKeySnapshot(L"HKEY_CURRENT_USER\\Software\\Gone", document);
  EXPECT_EQ(assoc::WriteRegFile(document),
            FileOf({L"Windows Registry Editor Version 5.00", L"", L"[-HKEY_CURRENT_USER\\Software\\T]", L"",
                    L"[HKEY_CURRENT_USER\\Software\\T]", L"@=\"x\"", L"", L"[HKEY_CURRENT_USER\\Software\\T\\s]",
                    L"\"n\"=dword:00000001", L"", L"[-HKEY_CURRENT_USER\\Software\\Gone]", L""}));
}

TEST_F(RegFile, AKeyIsNamedWithTheLetterCaseTheRegistryKeeps) {
  CreateKey(HKEY_CURRENT_USER, L"Software\\Classes\\.Txt\\ShellNew");
  CreateKey(HKEY_CLASSES_ROOT, L".Txt");
  const std::wstring text = TextOf(Snapshot(L"HKEY_CURRENT_USER\\SOFTWARE\\classes\\.TXT")) +
                            TextOf(Snapshot(L"hkey_classes_root\\.txt"));
  EXPECT_NE(text.find(L"[-HKEY_CURRENT_USER\\SOFTWARE\\classes\\.Txt]"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"[HKEY_CURRENT_USER\\SOFTWARE\\classes\\.Txt\\ShellNew]"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"[hkey_classes_root\\.Txt]"), std::wstring::npos) << text;
}

TEST_F(RegFile, ATreeIsReadWithoutPassingThroughALinkAndNoDeeperThanAFileCanHold) {
  // A program of the user can make a key of its classes a link: round to the key itself (a walk
  // through it never ends) or to a key only an administrator may read (the file would carry it
  // out into the user's folder).
  WriteValue(HKEY_CLASSES_ROOT, L".loop\\shell", L"", REG_SZ, L"open");
  sandbox_.CreateLink(HKEY_CLASSES_ROOT, L".loop\\shell\\again", HKEY_CLASSES_ROOT, L".loop");
  WriteValue(HKEY_CURRENT_USER, L"Software\\Secret", L"key", REG_SZ, L"admins only");
  sandbox_.CreateLink(HKEY_CLASSES_ROOT, L".leak", HKEY_CURRENT_USER, L"Software\\Secret");
  const std::wstring link = assoc::texts::kPolicyLink;
  for (const auto& [path, named] : std::vector<std::pair<std::wstring, std::wstring>>{
           {L"HKEY_CLASSES_ROOT\\.loop", L"HKEY_CLASSES_ROOT\\.loop\\shell\\again"},
           {L"HKEY_CLASSES_ROOT\\.leak", L"HKEY_CLASSES_ROOT\\.leak"},
           {L"HKEY_CLASSES_ROOT\\.leak\\below", L"HKEY_CLASSES_ROOT\\.leak\\below"}}) {
    EXPECT_TRUE(assoc::RegKeyExists(path)) << path;
    EXPECT_EQ(assoctest::MessageOf([&] { Snapshot(path); }), assoc::texts::CannotReadKey(named) + link) << path;
  }

  // The deepest tree a file can hold is read whole; one key deeper is refused, not cut off.
  std::wstring deep = L".deep";
  for (size_t level = 1; level < assoc::kMaxKeyDepth; ++level) deep += L"\\k";
  CreateKey(HKEY_CLASSES_ROOT, deep);
  const assoc::TRegDocument whole = assoc::ReadRegFile(Snapshot(L"HKEY_CLASSES_ROOT\\.deep"));
  EXPECT_EQ(whole.Keys.size(), assoc::kMaxKeyDepth + 1);
  CreateKey(HKEY_CLASSES_ROOT, deep + L"\\k");
  EXPECT_EQ(assoctest::MessageOf([] { Snapshot(L"HKEY_CLASSES_ROOT\\.deep"); }),
            assoc::texts::CannotReadKey(L"HKEY_CLASSES_ROOT\\" + deep + L"\\k") +
                assoc::texts::KeyTooDeep(assoc::kMaxKeyDepth));
}

TEST_F(RegFile, NamesThatNoFileCanHoldRaiseInsteadOfWritingAnotherKey) {
  for (const std::wstring& name : {std::wstring(L"a\nb"), std::wstring(L"a\rb")}) {
    assoc::TRegDocument document;
    document.Keys.push_back({L"HKEY_CURRENT_USER\\Software\\" + name, false, {}, 0});
    EXPECT_EQ(assoctest::MessageOf([&] { assoc::WriteRegFile(document); }), assoc::texts::kCannotWriteName);
  }
  assoc::TRegDocument document;
  const assoc::TRegValue nulName{std::wstring(L"a\0b", 3), false, REG_SZ, ""};
  document.Keys.push_back({L"HKEY_CURRENT_USER\\Software\\x", false, {nulName}, 0});
  EXPECT_EQ(assoctest::MessageOf([&] { assoc::WriteRegFile(document); }), assoc::texts::kCannotWriteName);
}

TEST(RegFileReader, NamesTheLineOfTheFirstFaultInEitherEncoding) {
  using namespace assoc::texts;
  const std::wstring header = L"Windows Registry Editor Version 5.00";
  const std::wstring key = L"[HKEY_CURRENT_USER\\Software\\T]";
  const std::wstring badHeader = std::wstring(kNotRegFile) + kHeaderHint;
  std::wstring deep = L"HKEY_CURRENT_USER";
  for (int level = 0; level < 600; ++level) deep += L"\\k";
  struct Case {
    const char* what;
    std::vector<std::wstring> lines;
    int line;
    std::wstring fault;
  };
  const Case cases[] = {
      {"no header", {key, L"@=\"x\""}, 1, badHeader},
      {"a blank line before the header", {L"", header, key}, 1, badHeader},
      {"another version", {L"Windows Registry Editor Version 4.00", key}, 1, badHeader},
      {"the header in other letters", {L"WINDOWS REGISTRY EDITOR VERSION 5.00", key}, 1, badHeader},
      {"REGEDIT with another ending", {L"REGEDIT5", key}, 1, badHeader},
      {"REGEDIT4 in other letters", {L"regedit4", key}, 1, badHeader},
      {"REGEDIT 4 with a blank", {L"REGEDIT 4", key}, 1, badHeader},
      {"Windows 3.1's header", {L"REGEDIT", L"HKEY_CLASSES_ROOT\\.txt = txtfile"}, 1, kWin31File},
      {"a value before any key", {header, L"", L"\"v\"=\"x\""}, 3, kValueOutsideKey},
      {"a value in a removal", {header, L"[-HKEY_CURRENT_USER\\Software\\T]", L"\"v\"=\"x\""}, 3, kValueInRemoval},
      {"an unclosed string", {header, L"", key, L"@=\"x\"", L"\"v\"=\"x"}, 5, kBadString},
      {"text after a string", {header, key, L"\"v\"=\"x\" y"}, 3, kBadString},
      {"an unknown escape", {header, key, L"\"v\"=\"a\\qb\""}, 3, kBadString},
      {"a dword of nine digits", {header, key, L"\"v\"=dword:123456789"}, 3, kBadDword},
      {"a dword without digits", {header, key, L"\"v\"=dword:"}, 3, kBadDword},
      {"a dword that is not hex", {header, key, L"\"v\"=dword:0000000g"}, 3, kBadDword},
      {"a byte that is not hex", {header, key, L"\"v\"=hex:00,0g"}, 3, kBadHex},
      {"a byte of one digit", {header, key, L"\"v\"=hex:0,01"}, 3, kBadHex},
      {"two commas", {header, key, L"\"v\"=hex:00,,01"}, 3, kBadHex},
      {"bytes without comma", {header, key, L"\"v\"=hex:00 01"}, 3, kBadHex},
      {"a fault on a continued line", {header, key, L"\"v\"=hex:00,\\", L"  01,\\", L"  0x"}, 5, kBadHex},
      {"text after the continuation", {header, key, L"\"v\"=hex:00,\\ 01"}, 3, kBadHex},
      {"a continuation at the end", {header, key, L"\"v\"=hex:00,\\"}, 3, kFileEndsEarly},
      {"a type of nine digits", {header, key, L"\"v\"=hex(123456789):00"}, 3, kBadHex},
      {"a type without its parenthesis", {header, key, L"\"v\"=hex(2:00"}, 3, kBadHex},
      {"an unknown kind of data", {header, key, L"\"v\"=qword:1"}, 3, kBadLine},
      {"a name without =", {header, key, L"\"v\" \"x\""}, 3, kBadLine},
      {"a name without quotes", {header, key, L"v=\"x\""}, 3, kBadLine},
      {"a NUL in a name", {header, key, L"\"a\\0b\"=\"x\""}, 3, kBadLine},
      {"a stray line", {header, key, L"garbage"}, 3, kBadLine},
      {"an unclosed key", {header, L"[HKEY_CURRENT_USER\\Software\\T"}, 2, kBadKeyName},
      {"text after a key", {header, L"[HKEY_CURRENT_USER\\Software\\T] x"}, 2, kBadKeyName},
      {"an abbreviated root", {header, L"[HKCU\\Software\\T]"}, 2, kUnknownRoot},
      {"no root", {header, L"[Software\\T]"}, 2, kUnknownRoot},
      {"an empty key name", {header, L"[HKEY_CURRENT_USER\\Software\\\\T]"}, 2, kBadKeyName},
      {"a trailing backslash", {header, L"[HKEY_CURRENT_USER\\Software\\T\\]"}, 2, kBadKeyName},
      {"a key name too long", {header, L"[HKEY_CURRENT_USER\\" + std::wstring(256, L'k') + L"]"}, 2, kBadKeyName},
      {"600 levels", {header, key, L"@=\"x\"", L"[" + deep + L"]"}, 4, KeyTooDeep(512)},
      {"600 levels to remove", {L"REGEDIT4", L"[-" + deep + L"]"}, 2, KeyTooDeep(512)},
      // Found before the path's names or root are looked at: 6,000 empty names under no root.
      {"6,000 levels", {header, key, L"[HKCU" + std::wstring(6000, L'\\') + L"]"}, 3, KeyTooDeep(512)},
      {"a NUL in a line", {header, key, std::wstring(L"\"v\"=\"a\0b\"", 9)}, 3, kNulInText},
  };
  for (const Case& c : cases) {
    for (const assoctest::Encoding encoding : {assoctest::Encoding::Utf16, assoctest::Encoding::Ansi}) {
      SCOPED_TRACE(std::string(c.what) + (encoding == assoctest::Encoding::Ansi ? " (8-bit)" : " (UTF-16)"));
      try {
        assoc::ReadRegFile(assoctest::Encoded(c.lines, encoding));
        ADD_FAILURE() << "read without fault";
      } catch (const assoc::ERegFileError& e) {
        EXPECT_EQ(e.Line(), c.line);
        EXPECT_EQ(e.Message(), LineFault(c.line, c.fault));
      }
    }
  }
  EXPECT_EQ(LineFault(12, kBadHex), L"12行目：16進数のデータに誤りがあります。");
}

TEST(RegFileReader, RefusesBytesTheEditorDoesNotReadAsTextAtTheLineThatShowsIt) {
  using namespace assoc::texts;
  const std::wstring badHeader = std::wstring(kNotRegFile) + kHeaderHint;
  const std::vector<std::wstring> file = {L"Windows Registry Editor Version 5.00", L"[HKEY_CURRENT_USER\\Software\\T]"};
  struct Case {
    const char* what;
    std::string bytes;
    int line;
    std::wstring fault;
  };
  const Case cases[] = {
      {"an empty file", "", 1, badHeader},
      {"only the byte-order mark", "\xFF\xFE", 1, badHeader},
      {"UTF-8 with its mark", assoctest::Encoded(file, assoctest::Encoding::Utf8WithMark), 1,
       UnreadableEncoding(kUtf8WithBom)},
      {"big-endian UTF-16", assoctest::Encoded(file, assoctest::Encoding::Utf16BigEndian), 1,
       UnreadableEncoding(kUtf16BigEndian)},
      {"UTF-16 without its mark", assoctest::Encoded(file, assoctest::Encoding::Utf16WithoutMark), 1,
       UnreadableEncoding(kUtf16WithoutBom)},
      {"big-endian UTF-16 without its mark", assoctest::Encoded(file, assoctest::Encoding::Utf16BigEndianNoMark), 1,
       UnreadableEncoding(kUtf16WithoutBom)},
      {"binary bytes", std::string("MZ\x90\0\3\0\0\0", 8), 1, badHeader},
      {"half a character at the end", FileOf({file[0], file[1]}) + "x", 2, kFileEndsEarly},
      // The ANSI code page takes the closing quote for the second byte of a character.
      {"UTF-8 whose last character swallows the quote",
       testsupport::Utf8(file[0] + L"\r\n" + file[1] + L"\r\n@=\"日本語\"\r\n"), 3, kBadString},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      assoc::ReadRegFile(c.bytes);
      ADD_FAILURE() << "read without fault";
    } catch (const assoc::ERegFileError& e) {
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_EQ(e.Message(), LineFault(c.line, c.fault));
    }
  }
  EXPECT_EQ(UnreadableEncoding(kUtf8WithBom),
            L"BOM 付きの UTF-8 のファイルは読めません。BOM 付きの UTF-16 か ANSI で保存して下さい。");
}

// A readable listing of a document: each key and value with its line, type and bytes.
std::wstring Listing(const assoc::TRegDocument& document) {
  std::wstring out;
  for (const assoc::TRegKey& key : document.Keys) {
    out += std::to_wstring(key.Line) + (key.Remove ? L" [-" : L" [") + key.Path + L"]\n";
    for (const assoc::TRegValue& value : key.Values) {
      out += L"  " + std::to_wstring(value.Line) + L" \"" + value.Name + L"\"";
      if (value.Remove) {
        out += L" removed\n";
        continue;
      }
      out += L" type " + std::to_wstring(value.Type) + L":";
      for (unsigned char byte : value.Data) {
        wchar_t pair[4];
        swprintf(pair, 4, L" %02x", byte);
        out += pair;
      }
      out += L"\n";
    }
  }
  return out;
}

std::wstring ListingOrFault(const std::string& bytes) {
  try {
    return Listing(assoc::ReadRegFile(bytes));
  } catch (const assoc::ERegFileError& e) {
    return e.Message();
  }
}

TEST(RegFileReader, ReadsTheSameFileInEveryEncodingAndHeaderTheEditorReads) {
  ASSERT_EQ(GetACP(), 932u) << "the tests run under LC_ALL=ja_JP.UTF-8";
  using assoctest::Encoding;
  const std::wstring v5 = L"Windows Registry Editor Version 5.00";
  const std::wstring v4 = L"REGEDIT4";
  const std::vector<std::wstring> reference = assoctest::SmallFile(v5, kFullBase);
  const std::wstring expected = Listing(assoc::ReadRegFile(assoctest::Encoded(reference, Encoding::Utf16)));
  ASSERT_NE(expected.find(L"type 2: 25 00 53 00"), std::wstring::npos) << expected;
  ASSERT_NE(expected.find(L"[-HKEY_CURRENT_USER\\Software\\Fmt\\日本の値]"), std::wstring::npos) << expected;
  // UTF-8 without a mark is 8-bit text to the editor: its Japanese comes out as the ANSI code
  // page reads the bytes, and so it does here.
  const std::wstring misread =
      Listing(assoc::ReadRegFile(assoctest::Encoded(assoctest::MisreadAsAnsi(reference), Encoding::Utf16)));
  ASSERT_NE(misread, expected);
  struct Case {
    const char* what;
    std::wstring header;
    Encoding encoding;
    std::wstring document;
  };
  const Case cases[] = {
      {"8-bit in the ANSI code page", v5, Encoding::Ansi, expected},
      {"8-bit with leading blanks before its header", L" \t" + v5, Encoding::Ansi, expected},
      {"UTF-8 without a mark", v5, Encoding::Utf8, misread},
      {"REGEDIT4 in the ANSI code page, string-typed hex in it too", v4, Encoding::Ansi, expected},
      {"REGEDIT4 in UTF-16, string-typed hex still 8-bit", v4, Encoding::Utf16, expected},
      {"UTF-8 with its mark", v5, Encoding::Utf8WithMark,
       assoc::texts::LineFault(1, assoc::texts::UnreadableEncoding(assoc::texts::kUtf8WithBom))},
      {"UTF-16 without its mark", v5, Encoding::Utf16WithoutMark,
       assoc::texts::LineFault(1, assoc::texts::UnreadableEncoding(assoc::texts::kUtf16WithoutBom))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ListingOrFault(assoctest::Encoded(assoctest::SmallFile(c.header, kFullBase), c.encoding)), c.document);
  }

  // Bytes that do not start where a wchar_t may are read all the same.
  std::string bytes(1, ' ');
  bytes += assoctest::Encoded(reference, Encoding::Utf16);
  EXPECT_EQ(Listing(assoc::ReadRegFile(std::string_view(bytes).substr(1))), expected);
}

TEST(RegFileReader, TakesStringTypedHexOfRegedit4AsTheAnsiCodePagesText) {
  ASSERT_EQ(GetACP(), 932u) << "the tests run under LC_ALL=ja_JP.UTF-8";
  struct Case {
    const char* what;
    std::wstring line;
    DWORD type;
    std::string regedit4;  // what a "REGEDIT4" file means
    std::string version5;  // what the same line means under "Windows Registry Editor Version 5.00"
  };
  const std::string memo = testsupport::Ansi(L"メモ帳");
  const std::wstring memoHex = L"83,81,83,82,92,a0";
  ASSERT_EQ(memo, assoctest::Hex("83 81 83 82 92 a0"));
  const Case cases[] = {
      {"expandable text", L"hex(2):25,41,25,00", REG_EXPAND_SZ, Utf16(std::wstring(L"%A%\0", 4)),
       assoctest::Hex("25 41 25 00")},
      {"expandable text without its NUL", L"hex(2):25,41,25", REG_EXPAND_SZ, Utf16(std::wstring(L"%A%\0", 4)),
       assoctest::Hex("25 41 25")},
      {"Japanese text", L"hex(1):" + memoHex + L",00", REG_SZ, Utf16(std::wstring(L"メモ帳\0", 4)), memo + '\0'},
      {"a multi-string", L"hex(7):61,00,62,00,00", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0\0", 5)),
       assoctest::Hex("61 00 62 00 00")},
      {"no bytes", L"hex(2):", REG_EXPAND_SZ, "", ""},
      {"binary", L"hex:41,42", REG_BINARY, "AB", "AB"},
      {"another type", L"hex(0):41,42", REG_NONE, "AB", "AB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const wchar_t* header : {L"REGEDIT4", L"Windows Registry Editor Version 5.00"}) {
      const assoc::TRegDocument document = assoc::ReadRegFile(assoctest::Encoded(
          {header, L"[HKEY_CURRENT_USER\\Software\\T]", L"\"v\"=" + c.line}, assoctest::Encoding::Ansi));
      ASSERT_EQ(document.Keys.size(), 1u);
      ASSERT_EQ(document.Keys[0].Values.size(), 1u);
      EXPECT_EQ(document.Keys[0].Values[0].Type, c.type);
      EXPECT_EQ(document.Keys[0].Values[0].Data, header == std::wstring(L"REGEDIT4") ? c.regedit4 : c.version5);
    }
  }
}

TEST(RegFileReader, TakesAKeyAsDeepAsTheRegistryNests) {
  std::wstring path = L"HKEY_CURRENT_USER";
  for (int level = 0; level < 512; ++level) path += L"\\k";
  const assoc::TRegDocument document =
      assoc::ReadRegFile(FileOf({L"Windows Registry Editor Version 5.00", L"[" + path + L"]"}));
  ASSERT_EQ(document.Keys.size(), 1u);
  EXPECT_EQ(document.Keys[0].Path, path);
}

TEST(RegFileReader, TakesWhatTheEditorAndPeopleWriteBesidesOurOwnForm) {
  const std::wstring text =
      L"\xFEFFWindows Registry Editor Version 5.00  \n"
      L"; a comment\r"
      L"  \r\n"
      L"  [hkey_current_user\\Software\\a]b]  \r\n"
      L"\"lines\"=\"a\\r\\nb\\0c\"\r\n"
      L"\"esc\\n\\\"name\\\\\"=\"q\"\r\n"
      L"\"\"=\"empty name\"\r\n"
      L"\"d\"=DWORD:FfFf\r\n"
      L"\"h\"=HEX(7): 0A , FF ,\\\r\n"
      L"      00  \r\n"
      L"\"n\"=hex(0):\\\r\n"
      L"   \r\n"
      L"\"gone\"=-\r\n"
      L"[-HKEY_LOCAL_MACHINE\\Software\\Classes\\x]\r\n";
  const assoc::TRegDocument document = assoc::ReadRegFile(Utf16(text));
  ASSERT_EQ(document.Keys.size(), 2u);
  const assoc::TRegKey& key = document.Keys[0];
  EXPECT_EQ(key.Path, L"hkey_current_user\\Software\\a]b");
  EXPECT_EQ(key.Line, 4);
  EXPECT_FALSE(key.Remove);
  struct Expected {
    std::wstring name;
    bool remove;
    DWORD type;
    std::string data;
    int line;
  };
  const Expected expected[] = {
      {L"lines", false, REG_SZ, Utf16(std::wstring(L"a\r\nb\0c\0", 7)), 5},
      {L"esc\n\"name\\", false, REG_SZ, Utf16(std::wstring(L"q\0", 2)), 6},
      {L"", false, REG_SZ, Utf16(std::wstring(L"empty name\0", 11)), 7},
      {L"d", false, REG_DWORD, assoctest::Hex("ff ff 00 00"), 8},
      {L"h", false, REG_MULTI_SZ, assoctest::Hex("0a ff 00"), 9},
      {L"n", false, REG_NONE, "", 11},
      {L"gone", true, REG_NONE, "", 13},
  };
  ASSERT_EQ(key.Values.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(key.Values[i].Name, expected[i].name);
    EXPECT_EQ(key.Values[i].Remove, expected[i].remove);
    if (!expected[i].remove) {
      EXPECT_EQ(key.Values[i].Type, expected[i].type);
    }
    EXPECT_EQ(key.Values[i].Data, expected[i].data);
    EXPECT_EQ(key.Values[i].Line, expected[i].line);
  }
  EXPECT_EQ(document.Keys[1].Path, L"HKEY_LOCAL_MACHINE\\Software\\Classes\\x");
  EXPECT_TRUE(document.Keys[1].Remove);
  EXPECT_EQ(document.Keys[1].Line, 14);
}

TEST_F(RegFile, ApplyingRemovesKeysAndValuesAndLeavesAllElseAlone) {
  WriteValue(HKEY_CURRENT_USER, L"Software\\T\\old\\deeper", L"", REG_SZ, L"x");
  WriteValue(HKEY_CURRENT_USER, L"Software\\T\\keep", L"a", REG_SZ, L"1");
  WriteValue(HKEY_CURRENT_USER, L"Software\\T\\keep", L"b", REG_SZ, L"2");
  WriteValue(HKEY_CURRENT_USER, L"Software\\Neighbour", L"", REG_SZ, L"n");
  const std::wstring neighbour = TreeDump(HKEY_CURRENT_USER, L"Software\\Neighbour");
  assoctest::ApplyDocument(assoc::ReadRegFile(FileOf({
      L"Windows Registry Editor Version 5.00",
      L"[-HKEY_CURRENT_USER\\Software\\T\\old]",
      L"[-HKEY_CURRENT_USER\\Software\\T\\never]",
      L"[HKEY_CURRENT_USER\\Software\\T\\keep]",
      L"\"a\"=-",
      L"\"never\"=-",
      L"\"c\"=\"3\"",
      L"[HKEY_CURRENT_USER\\Software\\T\\new\\child]",
  })));
  EXPECT_EQ(assoctest::SubKeyNames(HKEY_CURRENT_USER, L"Software\\T"), (std::vector<std::wstring>{L"keep", L"new"}));
  EXPECT_EQ(TreeDump(HKEY_CURRENT_USER, L"Software\\T\\keep"),
            L"[Software\\T\\keep]\n  b type 1:32000000\n  c type 1:33000000\n");
  EXPECT_TRUE(testsupport::KeyExists(HKEY_CURRENT_USER, L"Software\\T\\new\\child"));
  EXPECT_EQ(TreeDump(HKEY_CURRENT_USER, L"Software\\Neighbour"), neighbour);

  assoc::TRegDocument root;
  root.Keys.push_back({L"HKEY_CURRENT_USER", true, {}, 0});
  EXPECT_EQ(assoctest::MessageOf([&] { assoctest::ApplyDocument(root); }),
            assoc::texts::ChangeRefused(L"HKEY_CURRENT_USER", assoc::texts::kPolicyRoot));
  EXPECT_TRUE(testsupport::KeyExists(HKEY_CURRENT_USER, L"Software\\Neighbour"));
}

}  // namespace
