// A whole file type read from registry states built in a sandbox (verbs of every kind and where
// they come from, the Open with entries and their programs), edits planned as one change that
// keeps what the window does not show, and the default verb that the reader and the list of
// associations both find.
#include "assoc/file_type.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "assoc/backup_store.h"
#include "assoc/change_engine.h"
#include "assoc/change_policy.h"
#include "assoc/file_type_texts.h"
#include "assoc/safety.h"
#include "assoc/store_fixture.h"
#include "assoclist/assoc_rows.h"
#include "assoclist/row_problems.h"
#include "common/text.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using assoc::TFileType;
using assoc::TVerb;
using assoc::TVerbSource;
using testsupport::ReadValue;
using testsupport::WriteValue;

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

struct Value {
  std::wstring path;
  std::wstring name;
  std::wstring data;
  DWORD type = REG_SZ;
};

// "name|caption|command|flags|source": flags D (default), X (Extended), G (delegated), M
// (caption from MUIVerb); source T, E or P.
std::vector<std::wstring> VerbLines(const TFileType& type) {
  std::vector<std::wstring> lines;
  const std::wstring chosen = assoc::EffectiveDefaultVerb(type);
  for (const TVerb& verb : type.Verbs) {
    std::wstring flags;
    if (verb.Source == TVerbSource::Type && verb.Name == chosen) flags += L'D';
    if (verb.Extended) flags += L'X';
    if (verb.Delegated) flags += L'G';
    if (verb.CaptionIsMui) flags += L'M';
    const wchar_t source = verb.Source == TVerbSource::Type ? L'T' : verb.Source == TVerbSource::Extension ? L'E' : L'P';
    lines.push_back(verb.Name + L"|" + verb.Caption + L"|" + verb.Command + L"|" + flags + L"|" + source);
  }
  return lines;
}

class FileTypeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sandbox_.Ok()); }
  static void Write(const std::vector<Value>& values) {
    for (const Value& v : values) WriteValue(HKEY_CLASSES_ROOT, v.path, v.name, v.type, v.data);
  }
  testsupport::RegistrySandbox sandbox_;
};

TEST_F(FileTypeTest, VerbsOfEveryKindWithTheirDefaultAndWhereTheyComeFrom) {
  const std::wstring mui = L"@" + common::ModuleFileName() + L",-101";
  struct Case {
    const char* what;
    std::vector<Value> values;
    std::vector<std::wstring> verbs;
  };
  const Case cases[] = {
      {"static verbs, none named: open is the default",
       {{L"a\\shell\\print\\command", L"", L"p.exe /p %1"}, {L"a\\shell\\open\\command", L"", L"o.exe %1"}},
       {L"open||o.exe %1|D|T", L"print||p.exe /p %1||T"}},
      {"the default named",
       {{L"a\\shell", L"", L"print"},
        {L"a\\shell\\open\\command", L"", L"o.exe %1"},
        {L"a\\shell\\print", L"", L"印刷(&P)"},
        {L"a\\shell\\print\\command", L"", L"p.exe %1"}},
       {L"open||o.exe %1||T", L"print|印刷(&P)|p.exe %1|D|T"}},
      {"a named default that is missing, and no open: the first verb",
       {{L"a\\shell", L"", L"gone, view"},
        {L"a\\shell\\edit\\command", L"", L"e.exe %1"},
        {L"a\\shell\\view\\command", L"", L"v.exe %1"}},
       {L"edit||e.exe %1||T", L"view||v.exe %1|D|T"}},
      {"Extended, and a MUIVerb text from a module",
       {{L"a\\shell\\edit", L"", L"plain"},
        {L"a\\shell\\edit", L"MUIVerb", mui},
        {L"a\\shell\\edit", L"Extended", L""},
        {L"a\\shell\\edit\\command", L"", L"e.exe %1"}},
       {L"edit|テキストで編集(&E)|e.exe %1|DXM|T"}},
      {"DelegateExecute and DropTarget instead of a command",
       {{L"a\\shell\\open\\command", L"DelegateExecute", L"{11111111-2222-3333-4444-555555555555}"},
        {L"a\\shell\\play\\DropTarget", L"CLSID", L"{11111111-2222-3333-4444-555555555555}"}},
       {L"open|||DG|T", L"play|||G|T"}},
      {"verbs Windows adds by extension and by perceived type",
       {{L".t", L"PerceivedType", L"text"},
        {L"a\\shell\\open\\command", L"", L"o.exe %1"},
        {L"SystemFileAssociations\\.t\\shell\\preview\\command", L"", L"pv.exe %1"},
        {L"SystemFileAssociations\\text\\shell\\edit\\command", L"", L"notepad.exe %1"}},
       {L"open||o.exe %1|D|T", L"preview||pv.exe %1||E", L"edit||notepad.exe %1||P"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const wchar_t* key : {L".t", L"a", L"SystemFileAssociations"}) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    WriteValue(HKEY_CLASSES_ROOT, L".t", L"", REG_SZ, L"a");
    Write(c.values);
    const TFileType type = assoc::ReadFileType({false, L".t"});
    EXPECT_EQ(type.TypeKey, L"a");
    EXPECT_TRUE(type.OwnType);
    EXPECT_EQ(VerbLines(type), c.verbs);
  }

  // An extension that names no file type keeps its verbs in its own key.
  Write({{L".n\\shell\\open\\command", L"", L"n.exe %1"}});
  const TFileType bare = assoc::ReadFileType({false, L".n"});
  EXPECT_EQ(bare.TypeKey, L".n");
  EXPECT_FALSE(bare.OwnType);
  EXPECT_EQ(VerbLines(bare), std::vector<std::wstring>{L"open||n.exe %1|D|T"});
  EXPECT_THROW(assoc::ReadFileType({false, L"..\\x"}), Exception);
  EXPECT_THROW(assoc::ReadFileType({true, L"mail to"}), Exception);
}

TEST_F(FileTypeTest, OpenWithEntriesNameTheProgramTheyStartAndWhatIsGone) {
  Write({{L".t", L"", L"a"},
         {L"a\\shell\\open\\command", L"", L"notepad.exe %1"},
         {L"b\\shell\\open\\command", L"", L"\"C:\\gone\\b.exe\" \"%1\""},
         {L".t\\OpenWithProgids", L"a", L""},
         {L".t\\OpenWithProgids", L"b", L""},
         {L".t\\OpenWithProgids", L"missing", L""},
         {L"c\\shell\\open\\command", L"", L"\"\\\\tavrelo-nowhere\\share\\c.exe\" \"%1\""},
         {L".t\\OpenWithProgids", L"c", L""}});
  const std::wstring user = std::wstring(kFileExts) + L".t";
  WriteValue(HKEY_CURRENT_USER, user + L"\\OpenWithProgids", L"a", REG_SZ, L"");
  WriteValue(HKEY_CURRENT_USER, user + L"\\OpenWithList", L"a", REG_SZ, L"notepad.exe");
  WriteValue(HKEY_CURRENT_USER, user + L"\\OpenWithList", L"b", REG_SZ, L"nosuch.exe");
  WriteValue(HKEY_CURRENT_USER, user + L"\\OpenWithList", L"MRUList", REG_SZ, L"ba");

  const TFileType type = assoc::ReadFileType({false, L".t"});
  std::vector<std::wstring> lines;
  for (const assoc::TOpenWithEntry& e : type.OpenWith)
    lines.push_back(e.Name + L"|" + std::to_wstring(static_cast<int>(e.Place)) + L"|" +
                    common::ExtractFileName(e.Program) + L"|" +
                    (e.TypeMissing ? L"no type" : e.Unchecked ? L"unchecked" : e.Exists ? L"ok" : L"gone"));
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"a|0|notepad.exe|ok", L"b|0|b.exe|gone", L"c|0|c.exe|unchecked",
                                              L"missing|0||no type", L"a|1|notepad.exe|ok",
                                              L"notepad.exe|2|notepad.exe|ok", L"nosuch.exe|2|nosuch.exe|gone"}));
}

TEST_F(FileTypeTest, NothingIsReadThroughARegistryLinkPlantedInTheType) {
  Write({{L".t", L"", L"a"},
         {L"a\\shell\\edit\\command", L"", L"e.exe %1"},
         {L"planted\\command", L"", L"evil.exe %1"},
         {L"planted", L"", L"危険"},
         {L"list", L"a", L""}});
  // A verb, a verb's command key and the extension's Open with list, each a link to a key of
  // the planter's choice.
  sandbox_.CreateLink(HKEY_CLASSES_ROOT, L"a\\shell\\run", HKEY_CLASSES_ROOT, L"planted");
  sandbox_.CreateLink(HKEY_CLASSES_ROOT, L"a\\shell\\open", HKEY_CLASSES_ROOT, L"planted");
  sandbox_.CreateLink(HKEY_CLASSES_ROOT, L"a\\shell\\edit\\ddeexec", HKEY_CLASSES_ROOT, L"planted");
  sandbox_.CreateLink(HKEY_CLASSES_ROOT, L".t\\OpenWithProgids", HKEY_CLASSES_ROOT, L"list");

  const TFileType type = assoc::ReadFileType({false, L".t"});
  EXPECT_EQ(VerbLines(type), (std::vector<std::wstring>{L"edit||e.exe %1||T", L"open|||D|T", L"run||||T"}));
  EXPECT_TRUE(type.OpenWith.empty());

  // Renaming the verb that has a link below it reads nothing through the link: the plan refuses.
  TFileType renamed = type;
  renamed.Verbs[0].Name = L"edit2";
  EXPECT_THROW(assoc::PlanFileTypeEdit(type, renamed), Exception);
}

TEST_F(FileTypeTest, EditsPlanOnlyTheirDifferencesAndKeepWhatTheWindowDoesNotShow) {
  Write({{L".t", L"", L"a"},
         {L".t", L"Content Type", L"text/x-a"},
         {L"a", L"", L"A 文書"},
         {L"a", L"AlwaysShowExt", L""},
         {L"a", L"EditFlags", L"65536", REG_DWORD},
         {L"a\\shell\\edit", L"MUIVerb", L"@x.dll,-5"},
         {L"a\\shell\\edit", L"Icon", L"e.exe,0"},
         {L"a\\shell\\edit\\command", L"", L"%ProgramFiles%\\e.exe %1", REG_EXPAND_SZ},
         {L"a\\shell\\edit\\ddeexec\\application", L"", L"E"},
         {L"a\\shell\\open\\command", L"", L"o.exe %1"},
         {L".t\\OpenWithProgids", L"a", L""}});
  const std::wstring user = std::wstring(kFileExts) + L".t\\OpenWithList";
  WriteValue(HKEY_CURRENT_USER, user, L"a", REG_SZ, L"x.exe");
  WriteValue(HKEY_CURRENT_USER, user, L"b", REG_SZ, L"y.exe");
  WriteValue(HKEY_CURRENT_USER, user, L"MRUList", REG_SZ, L"ba");
  const TFileType before = assoc::ReadFileType({false, L".t"});
  EXPECT_EQ(before.EditFlags, L"0x00010000");
  EXPECT_EQ(before.Display, assoc::TExtensionDisplay::Always);
  EXPECT_TRUE(assoc::PlanFileTypeEdit(before, before).Steps.empty());
  TFileType recased = before;
  recased.Verbs[1].Name = L"OPEN";
  EXPECT_TRUE(assoc::PlanFileTypeEdit(before, recased).Steps.empty()) << "the same key: nothing moves or goes";

  TFileType edited = before;
  TVerb& edit = edited.Verbs[0];
  ASSERT_EQ(edit.Name, L"edit");
  edit.Name = L"edit2";                                  // renamed: its values and sub-keys go along
  edit.Command = L"%ProgramFiles%\\e2.exe %1";           // stays REG_EXPAND_SZ
  edited.Display = assoc::TExtensionDisplay::Never;
  edited.ContentType.clear();
  edited.PerceivedType = L"text";
  std::erase_if(edited.OpenWith, [](const assoc::TOpenWithEntry& e) { return e.Name == L"y.exe"; });
  const assoc::TChangePlan plan = assoc::PlanFileTypeEdit(before, edited);
  EXPECT_FALSE(assoc::CheckPlan(plan));
  testsupport::TempFolder backups;
  auto folder = assoc::MachineDataFolder.Replace([&] { return backups.Path(); });
  assoctest::NoticeCounter notices;
  assoc::ExecuteChange(plan);

  EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L"a\\shell\\edit"));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"MUIVerb").text, L"@x.dll,-5");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"Icon").text, L"e.exe,0");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2\\ddeexec\\application").text, L"E");
  const testsupport::RegValue command = ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2\\command");
  EXPECT_EQ(command.type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(command.text, L"%ProgramFiles%\\e2.exe %1");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a", L"AlwaysShowExt").type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a", L"NeverShowExt").type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".t", L"Content Type").type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L".t", L"PerceivedType").text, L"text");
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, user, L"b").type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, user, L"MRUList").text, L"a");
  EXPECT_EQ(assoc::ReadFileType({false, L".t"}).Description, L"A 文書") << "untouched";

  // Two verbs that trade names trade their keys whole.
  const TFileType traded = assoc::ReadFileType({false, L".t"});
  TFileType swapped = traded;
  ASSERT_EQ(swapped.Verbs[0].Name + L"," + swapped.Verbs[1].Name, L"edit2,open");
  swapped.Verbs[0].Name = L"open";
  swapped.Verbs[1].Name = L"edit2";
  assoc::ExecuteChange(assoc::PlanFileTypeEdit(traded, swapped));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\open", L"Icon").text, L"e.exe,0");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2\\command").text, L"o.exe %1");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"Icon").type, static_cast<DWORD>(REG_NONE));
  const TFileType back = assoc::ReadFileType({false, L".t"});
  swapped = back;
  swapped.Verbs[0].Name = L"open";
  swapped.Verbs[1].Name = L"edit2";
  assoc::ExecuteChange(assoc::PlanFileTypeEdit(back, swapped));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"MUIVerb").text, L"@x.dll,-5") << "and back";

  // A caption typed over a MUIVerb text replaces it.
  const TFileType now = assoc::ReadFileType({false, L".t"});
  TFileType captioned = now;
  captioned.Verbs[0].Caption = L"編集";
  assoc::ExecuteChange(assoc::PlanFileTypeEdit(now, captioned));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"MUIVerb").type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2").text, L"編集");
}

TEST_F(FileTypeTest, AProtocolsVerbsChangeUnderItsOwnPolicy) {
  Write({{L"tvr", L"", L"URL:Tavrelo"},
         {L"tvr", L"URL Protocol", L""},
         {L"tvr\\shell\\open\\command", L"", L"t.exe \"%1\""}});
  const TFileType before = assoc::ReadFileType({true, L"tvr"});
  EXPECT_EQ(before.Description, L"URL:Tavrelo");
  EXPECT_EQ(VerbLines(before), std::vector<std::wstring>{L"open||t.exe \"%1\"|D|T"});
  TFileType edited = before;
  edited.Verbs[0].Command = L"t2.exe \"%1\"";
  edited.Description = L"URL:Tavrelo 2";
  const assoc::TChangePlan plan = assoc::PlanFileTypeEdit(before, edited);
  EXPECT_EQ(plan.Protocols, std::vector<std::wstring>{L"tvr"});
  EXPECT_FALSE(assoc::CheckPlan(plan));
  // Without the protocol named, the same steps reach a key of no extension.
  assoc::TChangePlan unnamed = plan;
  unnamed.Protocols.clear();
  EXPECT_TRUE(assoc::CheckPlan(unnamed));

  testsupport::TempFolder backups;
  auto folder = assoc::MachineDataFolder.Replace([&] { return backups.Path(); });
  assoctest::NoticeCounter notices;
  assoc::ExecuteChange(plan);
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tvr\\shell\\open\\command").text, L"t2.exe \"%1\"");
  const std::optional<assoc::THistoryMove> undo = assoc::PlanUndo();
  ASSERT_TRUE(undo);
  EXPECT_NE(undo->Question.find(L"プロトコル「tvr:」のファイルタイプの変更"), std::wstring::npos) << undo->Question;
  assoc::ApplyHistoryMove(*undo);
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"tvr").text, L"URL:Tavrelo");
}

TEST_F(FileTypeTest, VerbNamesTakeOnlyWhatAKeyNameSafelyHolds) {
  const std::vector<std::wstring> others = {L"open"};
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"edit_2-x", L""},
      {L"", assoc::texts::kVerbNameMissing},
      {L"a\\b", assoc::texts::kVerbNameInvalid},
      {L"..", assoc::texts::kVerbNameInvalid},
      {L"編集", assoc::texts::kVerbNameInvalid},
      {std::wstring(65, L'a'), assoc::texts::kVerbNameInvalid},
      {L"OPEN", assoc::texts::kVerbNameTaken},
  };
  for (const auto& [name, problem] : cases) EXPECT_EQ(assoc::VerbNameProblem(name, others), problem) << name;
}

// How a verb of a default-verb state is written.
enum class VerbKind {
  Command,     // a command key with a program
  Delegated,   // a command key with DelegateExecute and no default value
  DropTarget,  // a DropTarget key instead of a command
  Bare,        // the verb's key alone
};

struct DefaultVerbCase {
  const char* what;
  const wchar_t* listed;  // the shell key's default value; null for none
  std::vector<std::pair<std::wstring, VerbKind>> verbs;  // written in this order
  std::wstring expected;  // the verb that runs
  std::vector<Value> more = {};
};

// The program that no verb but the one expected to run starts: a missing one, so that the
// list's 問題 column names it exactly when that verb is taken.
std::wstring MissingProgram(const std::wstring& verb) { return L"C:\\Nowhere\\" + verb + L".exe"; }

TEST_F(FileTypeTest, TheListAndTheReaderTakeTheSameDefaultVerbAndProgram) {
  using enum VerbKind;
  const DefaultVerbCase cases[] = {
      {"none named: open", nullptr, {{L"edit", Command}, {L"open", Command}, {L"print", Command}}, L"open"},
      {"named and present", L"print", {{L"open", Command}, {L"print", Command}}, L"print"},
      {"named in other letters", L"PRINT", {{L"open", Command}, {L"print", Command}}, L"print"},
      {"named but missing: open", L"gone", {{L"edit", Command}, {L"open", Command}}, L"open"},
      {"a comma list: the first that exists", L"gone, print,edit",
       {{L"edit", Command}, {L"open", Command}, {L"print", Command}}, L"print"},
      {"only verbs other than open: the registry's first", nullptr, {{L"edit", Command}, {L"view", Command}},
       L"edit"},
      {"open without a command is still the default", nullptr, {{L"edit", Command}, {L"open", Bare}}, L"open"},
      {"a delegated default verb runs no command", L"play", {{L"open", Command}, {L"play", Delegated}}, L"play"},
      {"a drop target likewise", L"play", {{L"open", Command}, {L"play", DropTarget}}, L"play"},
      {"a listed path names no verb", L"x\\y", {{L"open", Command}, {L"x", Bare}}, L"open",
       {{L"a\\shell\\x\\y\\command", L"", L"notepad.exe %1"}}},
  };
  for (const DefaultVerbCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (const wchar_t* key : {L".t", L"a"}) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    Write({{L".t", L"", L"a"}, {L".t\\OpenWithProgids", L"a", L""}});
    if (c.listed) Write({{L"a\\shell", L"", c.listed}});
    const auto runs = [&](const std::pair<std::wstring, VerbKind>& verb) {
      return verb.first == c.expected && verb.second == Command;
    };
    const bool expectedRuns = std::any_of(c.verbs.begin(), c.verbs.end(), runs);
    for (const auto& [name, kind] : c.verbs) {
      const std::wstring key = L"a\\shell\\" + name;
      // Every other verb starts a program that exists, unless the expected one starts none.
      const std::wstring program = runs({name, kind}) || !expectedRuns ? MissingProgram(name) : L"notepad.exe";
      if (kind == Command) Write({{key + L"\\command", L"", L"\"" + program + L"\" \"%1\""}});
      if (kind == Delegated)
        Write({{key + L"\\command", L"DelegateExecute", L"{11111111-2222-3333-4444-555555555555}"}});
      if (kind == DropTarget) Write({{key + L"\\DropTarget", L"CLSID", L"{11111111-2222-3333-4444-555555555555}"}});
      if (kind == Bare) testsupport::CreateKey(HKEY_CLASSES_ROOT, key);
    }
    Write(c.more);

    const TFileType type = assoc::ReadFileType({false, L".t"});
    const std::wstring chosen = assoc::EffectiveDefaultVerb(type);
    EXPECT_TRUE(assoc::SameKeyName(chosen, c.expected)) << chosen;
    ASSERT_EQ(type.OpenWith.size(), 1u);
    EXPECT_EQ(type.OpenWith[0].Program, expectedRuns ? MissingProgram(c.expected) : L"")
        << "the type as an Open with entry starts its default verb's program";

    const std::vector<assoclist::AssocRow> rows = assoclist::ReadAssociationRows();
    const auto row =
        std::find_if(rows.begin(), rows.end(), [](const assoclist::AssocRow& r) { return r.key == L".t"; });
    ASSERT_NE(row, rows.end());
    EXPECT_EQ(row->cells[assoclist::kProblem], expectedRuns ? assoclist::ProblemCell(assoclist::kNoProgram) : L"");
  }
}

TEST_F(FileTypeTest, ARenameThatLeavesTheDefaultToTheRegistrysOrderWritesTheVerbTheWindowShowed) {
  Write({{L".t", L"", L"a"},
         {L"a\\shell\\edit\\command", L"", L"e.exe %1"},
         {L"a\\shell\\view\\command", L"", L"v.exe %1"},
         {L"o\\shell\\edit\\command", L"", L"e.exe %1"},
         {L"o\\shell\\open\\command", L"", L"o.exe %1"},
         {L".o", L"", L"o"}});
  testsupport::TempFolder backups;
  auto folder = assoc::LocalAppDataFolder.Replace([&] { return backups.Path(); });
  assoctest::NoticeCounter notices;

  // Without open, the first verb is the default: renamed "zzz", it would come after "view".
  const TFileType before = assoc::ReadFileType({false, L".t"});
  ASSERT_EQ(assoc::EffectiveDefaultVerb(before), L"edit");
  TFileType renamed = before;
  renamed.Verbs[0].Name = L"zzz";
  ASSERT_EQ(assoc::EffectiveDefaultVerb(renamed), L"zzz");
  assoc::ExecuteChange(assoc::PlanFileTypeEdit(before, renamed));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell").text, L"zzz");
  EXPECT_EQ(assoc::EffectiveDefaultVerb(assoc::ReadFileType({false, L".t"})), L"zzz");

  // With open, the order decides nothing: the default value stays absent.
  const TFileType withOpen = assoc::ReadFileType({false, L".o"});
  TFileType renamedToo = withOpen;
  renamedToo.Verbs[0].Name = L"zzz";
  assoc::ExecuteChange(assoc::PlanFileTypeEdit(withOpen, renamedToo));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"o\\shell").type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(assoc::EffectiveDefaultVerb(assoc::ReadFileType({false, L".o"})), L"open");
}

}  // namespace
