// The rows of the list read from registry states built in a sandbox: what each cell shows for
// classic records, per-user overrides, broken file types, hostile values and keys that cannot
// be opened; that the last column says what the resolver says; and that reading changes nothing.
#include "assoclist/assoc_rows.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "assoc/assoc_resolver.h"
#include "assoclist/cell_text.h"
#include "list_fixture.h"

namespace {

using assoclist::AssocRow;
using assoclist::kColumnCount;
using assoclist::kUnreadable;
using listtest::Choice;
using listtest::ClassicAnd;
using listtest::Machine;
using listtest::User;
using listtest::Write;
using Cells = std::array<std::wstring, kColumnCount>;

// Where a state holds a key that exists but cannot be opened.
struct Loop {
  HKEY root;
  const wchar_t* path;
};

struct Case {
  const char* name;
  std::vector<Write> state;
  Cells cells;  // of the row of .abc
  bool iconReadable;
  std::vector<Loop> loops = {};
};

const std::wstring kCommand = L"\"C:\\Tools\\abc.exe\" \"%1\"";
const std::wstring kIcon = L"C:\\Tools\\abc.exe,0";
const std::wstring kMegabyte(1 << 20, L'x');
const std::wstring U = kUnreadable;

const Case kCases[] = {
    {"ClassicOnly", ClassicAnd({}), {L".abc", L"abcFile", L"abcファイル", kCommand, kIcon, L""}, true},
    {"UserChoiceOverrides",
     ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Viewer.abc"},
                 {Choice, L".abc\\UserChoice", L"Hash", L"q2x4="},
                 {Machine, L"Viewer.abc\\shell\\open\\command", L"", L"\"C:\\Viewer\\v.exe\" \"%1\""}}),
     {L".abc", L"abcFile", L"abcファイル", kCommand, kIcon, L"利用者の選択：C:\\Viewer\\v.exe"},
     true},
    {"UserClassesOverride",
     ClassicAnd({{User, L".abc", L"", L"Other.Doc"}, {User, L"Other.Doc\\shell\\open\\command", L"", L"C:\\o.exe %1"}}),
     {L".abc", L"abcFile", L"abcファイル", kCommand, kIcon, L"利用者のクラス：C:\\o.exe"},
     true},
    // Only the file type is the user's own: HKEY_CLASSES_ROOT (which the other cells read) shows
    // the user's version of a file type on Windows, so Explorer follows what the row says.
    {"UserClassesRedefineTheFileType", ClassicAnd({{User, L"abcFile\\shell\\open\\command", L"", L"C:\\u.exe \"%1\""}}),
     {L".abc", L"abcFile", L"abcファイル", kCommand, kIcon, L""},
     true},
    {"ChoiceOfAMissingFileType", ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"Gone.abc"}}),
     {L".abc", L"abcFile", L"abcファイル", kCommand, kIcon, L"選択先なし：Gone.abc"},
     true},
    {"ChoiceEqualToTheClassicRecord", ClassicAnd({{Choice, L".abc\\UserChoice", L"ProgId", L"ABCFILE"}}),
     {L".abc", L"abcFile", L"abcファイル", kCommand, kIcon, L""},
     true},
    {"BrokenFileType", {{Machine, L".abc", L"", L"noSuchType"}}, {L".abc", L"noSuchType", L"", L"", L"", L""}, false},
    {"FileTypeWithoutCommandOrIcon",
     {{Machine, L".abc", L"", L"abcFile"}, {Machine, L"abcFile", L"", L"説明だけ"}},
     {L".abc", L"abcFile", L"説明だけ", L"", L"", L""},
     false},
    {"ExtensionWithoutDefault", {{Machine, L".abc", L"Content Type", L"text/plain"}}, {L".abc", L"", L"", L"", L"", L""},
     false},
    {"MegabyteValueIsCut", ClassicAnd({{Machine, L"abcFile\\Shell\\open\\command", L"", kMegabyte}}),
     {L".abc", L"abcFile", L"abcファイル", std::wstring(assoclist::kCellLimit, L'x') + L"…", kIcon, L""},
     true},
    {"ControlCharactersAreEscaped",
     ClassicAnd({{Machine, L"abcFile", L"", L"a\tb\r\nc\x01" L"d\u202E" L"e"},
                 {Machine, L"abcFile\\DefaultIcon", L"", L"C:\\x.dll,\n1"}}),
     {L".abc", L"abcFile", L"a\\tb\\r\\nc\\x01d\\u202Ee", kCommand, L"C:\\x.dll,\\n1", L""},
     false},
    {"TextEndsAtItsFirstNul", ClassicAnd({{Machine, L".abc", L"", std::wstring(L"abcFile\0Other", 13)}}),
     {L".abc", L"abcFile", L"abcファイル", kCommand, kIcon, L""},
     true},
    {"NonTextValuesShowTypeAndValue",
     {{Machine, L".abc", L"", L"abcFile"},
      {Machine, L"abcFile", L"", std::wstring(L"\x0201\xff03", 2), REG_BINARY},
      {Machine, L"abcFile\\Shell\\open\\command", L"", L"7", REG_DWORD},
      {Machine, L"abcFile\\DefaultIcon", L"", std::wstring(L"a\0b\0\0", 5), REG_MULTI_SZ}},
     {L".abc", L"abcFile", L"REG_BINARY: 01 02 03 ff", L"REG_DWORD: 0x00000007 (7)", L"REG_MULTI_SZ: a\\x00b", L""},
     false},
    {"NonTextFileTypeIsNotFollowed",
     ClassicAnd({{Machine, L".abc", L"", L"7", REG_DWORD}}),
     {L".abc", L"REG_DWORD: 0x00000007 (7)", L"", L"", L"", L""},
     false},
    {"ExpandableIconShownAsStored",
     ClassicAnd({{Machine, L"abcFile\\DefaultIcon", L"", L"%SystemRoot%\\x.dll,-3", REG_EXPAND_SZ}}),
     {L".abc", L"abcFile", L"abcファイル", kCommand, L"%SystemRoot%\\x.dll,-3", L""},
     true},
    {"ExtensionKeyCannotBeOpened", {}, {L".abc", U, U, U, U, L""}, false, {{HKEY_CLASSES_ROOT, L".abc"}}},
    {"FileTypeKeyCannotBeOpened", {{Machine, L".abc", L"", L"abcFile"}}, {L".abc", L"abcFile", U, U, U, L""}, false,
     {{HKEY_CLASSES_ROOT, L"abcFile"}}},
    {"CommandKeyCannotBeOpened",
     {{Machine, L".abc", L"", L"abcFile"},
      {Machine, L"abcFile", L"", L"abcファイル"},
      {Machine, L"abcFile\\DefaultIcon", L"", kIcon}},
     {L".abc", L"abcFile", L"abcファイル", U, kIcon, L""},
     true,
     {{HKEY_CLASSES_ROOT, L"abcFile\\shell"}}},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class RowTest : public testing::TestWithParam<Case> {
 protected:
  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
};

TEST_P(RowTest, ShowsTheRecordsOfTheExtension) {
  ASSERT_TRUE(sandbox_.Ok());
  const Case& c = GetParam();
  listtest::Apply(c.state);
  for (const Loop& loop : c.loops) sandbox_.CreateLoop(loop.root, loop.path);
  const listtest::Trees before = listtest::Snapshot(sandbox_);

  // Problems aside (see ProblemsTest): these files do not exist.
  const std::vector<AssocRow> rows = assoclist::ReadAssociationRows(false);
  ASSERT_EQ(rows.size(), 1u) << "only keys that begin with \".\" are listed";
  const AssocRow& row = rows.front();
  EXPECT_EQ(row.key, L".abc");
  for (int column = 0; column < kColumnCount; ++column)
    EXPECT_EQ(row.cells[column], c.cells[column]) << assoclist::kColumnCaptions[column];
  EXPECT_EQ(row.iconReadable, c.iconReadable);
  // The last column says what the resolver says, whether or not the list asked it.
  EXPECT_EQ(row.cells[assoclist::kExplorer], assoclist::ExplorerCell(assoc::ResolveAssociation(L".abc")));

  EXPECT_TRUE(listtest::Snapshot(sandbox_) == before) << "reading changed the registry";
}

INSTANTIATE_TEST_SUITE_P(States, RowTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(RowsTest, EveryExtensionKeyInRegistryOrderUnderItsNameAsStored) {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  listtest::Apply({{Machine, L".Zed", L"", L"z"},
                   {Machine, L".abc", L"", L"abcFile"},
                   {Machine, L".", L"", L"dot"},
                   {Machine, L".a\x01", L"", L"control"},
                   {Machine, L"abc", L"", L"no dot"},
                   {Machine, L"x.y", L"", L"dot inside"},
                   {User, L".user", L"", L"only per user"}});
  std::vector<std::wstring> keys, shown;
  for (const AssocRow& row : assoclist::ReadAssociationRows()) {
    keys.push_back(row.key);
    shown.push_back(row.cells[assoclist::kExtension]);
  }
  std::vector<std::wstring> sorted = keys;
  std::sort(sorted.begin(), sorted.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  EXPECT_EQ(keys, sorted) << "the registry lists keys in order, letter case aside";
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::wstring>{L".", L".Zed", L".a\x01", L".abc"}));
  EXPECT_NE(std::find(shown.begin(), shown.end(), L".a\\x01"), shown.end());
}

TEST(ExplorerCellTest, NamesTheProgramOrElseTheFileTypeWithItsSource) {
  assoc::EffectiveAssociation a;
  a.source = assoc::AssocSource::UserChoice;
  a.fileType = L"Viewer.abc";
  a.fileTypeExists = true;
  a.program = L"C:\\v.exe";
  EXPECT_EQ(assoclist::ExplorerCell(a), L"") << "the classic record decides";
  a.differs = true;
  EXPECT_EQ(assoclist::ExplorerCell(a), L"利用者の選択：C:\\v.exe");
  a.program = L"C:\\new\nline.exe";
  EXPECT_EQ(assoclist::ExplorerCell(a), L"利用者の選択：C:\\new\\nline.exe");
  a.program.clear();
  a.fileTypeExists = false;
  EXPECT_EQ(assoclist::ExplorerCell(a), L"選択先なし：Viewer.abc");
  a.source = assoc::AssocSource::UserClasses;
  EXPECT_EQ(assoclist::ExplorerCell(a), L"利用者のクラス：Viewer.abc");
  a.source = assoc::AssocSource::UserChoice;
  a.fileTypeExists = true;
  a.program = L"C:\\v.exe";
  EXPECT_EQ(assoclist::ExplorerCell(a, true), L"利用者の選択（Windows が保護）：C:\\v.exe");
  a.source = assoc::AssocSource::WindowsDefault;
  EXPECT_EQ(assoclist::ExplorerCell(a), L"Windows の既定");
}

}  // namespace
