#include "assoc/reg_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/reg_snapshot.h"
#include "assoc/store_fixture.h"
#include "assoc/value_rows.h"
#include "support/registry_sandbox.h"

namespace {

using assoctest::TreeDump;
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
  EXPECT_EQ(assoctest::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, kBase)), L"");
  // Reading and writing again changes nothing, and a second restore over the tree neither.
  EXPECT_EQ(assoc::WriteRegFile(read), bytes);
  assoctest::ApplyDocument(read);
  EXPECT_EQ(assoctest::TreeDifference(before, TreeDump(HKEY_CURRENT_USER, kBase)), L"");
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

TEST(RegFileReader, NamesTheLineOfTheFirstFault) {
  using namespace assoc::texts;
  const std::wstring header = L"Windows Registry Editor Version 5.00";
  const std::wstring key = L"[HKEY_CURRENT_USER\\Software\\T]";
  struct Case {
    const char* what;
    std::string bytes;
    int line;
    const wchar_t* fault;
  };
  const Case cases[] = {
      {"no byte-order mark", "Windows Registry Editor Version 5.00\r\n", 1, kNotRegFile},
      {"an older header", FileOf({L"REGEDIT4", L"", key}), 1, kNotRegFile},
      {"an empty file", "", 1, kNotRegFile},
      {"a value before any key", FileOf({header, L"", L"\"v\"=\"x\""}), 3, kValueOutsideKey},
      {"a value in a removal", FileOf({header, L"[-HKEY_CURRENT_USER\\Software\\T]", L"\"v\"=\"x\""}), 3,
       kValueInRemoval},
      {"an unclosed string", FileOf({header, L"", key, L"@=\"x\"", L"\"v\"=\"x"}), 5, kBadString},
      {"text after a string", FileOf({header, key, L"\"v\"=\"x\" y"}), 3, kBadString},
      {"an unknown escape", FileOf({header, key, L"\"v\"=\"a\\qb\""}), 3, kBadString},
      {"a dword of nine digits", FileOf({header, key, L"\"v\"=dword:123456789"}), 3, kBadDword},
      {"a dword without digits", FileOf({header, key, L"\"v\"=dword:"}), 3, kBadDword},
      {"a dword that is not hex", FileOf({header, key, L"\"v\"=dword:0000000g"}), 3, kBadDword},
      {"a byte that is not hex", FileOf({header, key, L"\"v\"=hex:00,0g"}), 3, kBadHex},
      {"a byte of one digit", FileOf({header, key, L"\"v\"=hex:0,01"}), 3, kBadHex},
      {"two commas", FileOf({header, key, L"\"v\"=hex:00,,01"}), 3, kBadHex},
      {"bytes without comma", FileOf({header, key, L"\"v\"=hex:00 01"}), 3, kBadHex},
      {"a fault on a continued line", FileOf({header, key, L"\"v\"=hex:00,\\", L"  01,\\", L"  0x"}), 5, kBadHex},
      {"text after the continuation", FileOf({header, key, L"\"v\"=hex:00,\\ 01"}), 3, kBadHex},
      {"a continuation at the end", FileOf({header, key, L"\"v\"=hex:00,\\"}), 3, kFileEndsEarly},
      {"a type of nine digits", FileOf({header, key, L"\"v\"=hex(123456789):00"}), 3, kBadHex},
      {"a type without its parenthesis", FileOf({header, key, L"\"v\"=hex(2:00"}), 3, kBadHex},
      {"an unknown kind of data", FileOf({header, key, L"\"v\"=qword:1"}), 3, kBadLine},
      {"a name without =", FileOf({header, key, L"\"v\" \"x\""}), 3, kBadLine},
      {"a name without quotes", FileOf({header, key, L"v=\"x\""}), 3, kBadLine},
      {"a NUL in a name", FileOf({header, key, L"\"a\\0b\"=\"x\""}), 3, kBadLine},
      {"a stray line", FileOf({header, key, L"garbage"}), 3, kBadLine},
      {"an unclosed key", FileOf({header, L"[HKEY_CURRENT_USER\\Software\\T"}), 2, kBadKeyName},
      {"text after a key", FileOf({header, L"[HKEY_CURRENT_USER\\Software\\T] x"}), 2, kBadKeyName},
      {"an abbreviated root", FileOf({header, L"[HKCU\\Software\\T]"}), 2, kUnknownRoot},
      {"no root", FileOf({header, L"[Software\\T]"}), 2, kUnknownRoot},
      {"an empty key name", FileOf({header, L"[HKEY_CURRENT_USER\\Software\\\\T]"}), 2, kBadKeyName},
      {"a trailing backslash", FileOf({header, L"[HKEY_CURRENT_USER\\Software\\T\\]"}), 2, kBadKeyName},
      {"a key name too long", FileOf({header, L"[HKEY_CURRENT_USER\\" + std::wstring(256, L'k') + L"]"}), 2,
       kBadKeyName},
      {"a NUL in a line", FileOf({header, key, std::wstring(L"\"v\"=\"a\0b\"", 9)}), 3, kNulInText},
      {"half a character at the end", FileOf({header, key}) + "x", 2, kFileEndsEarly},
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
  EXPECT_EQ(LineFault(12, kBadHex), L"12行目：16進数のデータに誤りがあります。");
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
            L"[Software\\T\\keep]\n  \"b\" type 1: 32 00 00 00\n  \"c\" type 1: 33 00 00 00\n");
  EXPECT_TRUE(testsupport::KeyExists(HKEY_CURRENT_USER, L"Software\\T\\new\\child"));
  EXPECT_EQ(TreeDump(HKEY_CURRENT_USER, L"Software\\Neighbour"), neighbour);

  assoc::TRegDocument root;
  root.Keys.push_back({L"HKEY_CURRENT_USER", true, {}, 0});
  EXPECT_EQ(assoctest::MessageOf([&] { assoctest::ApplyDocument(root); }),
            assoc::texts::ChangeRefused(L"HKEY_CURRENT_USER", assoc::texts::kPolicyRoot));
  EXPECT_TRUE(testsupport::KeyExists(HKEY_CURRENT_USER, L"Software\\Neighbour"));
}

}  // namespace
