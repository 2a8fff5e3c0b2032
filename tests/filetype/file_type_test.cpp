// A whole file type read from registry states built in a sandbox (verbs of every kind and where
// they come from, the Open with entries and their programs), and edits planned as one change
// that keeps what the window does not show.
#include "filetype/file_type.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "assoc/change_engine.h"
#include "assoc/change_policy.h"
#include "assoc/store_fixture.h"
#include "assoc/backup_store.h"
#include "common/text.h"
#include "filetype/file_type_texts.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using filetype::TFileType;
using filetype::TVerb;
using filetype::TVerbSource;
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
  const std::wstring chosen = filetype::EffectiveDefaultVerb(type);
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
    const TFileType type = filetype::ReadFileType({false, L".t"});
    EXPECT_EQ(type.TypeKey, L"a");
    EXPECT_TRUE(type.OwnType);
    EXPECT_EQ(VerbLines(type), c.verbs);
  }

  // An extension that names no file type keeps its verbs in its own key.
  Write({{L".n\\shell\\open\\command", L"", L"n.exe %1"}});
  const TFileType bare = filetype::ReadFileType({false, L".n"});
  EXPECT_EQ(bare.TypeKey, L".n");
  EXPECT_FALSE(bare.OwnType);
  EXPECT_EQ(VerbLines(bare), std::vector<std::wstring>{L"open||n.exe %1|D|T"});
  EXPECT_THROW(filetype::ReadFileType({false, L"..\\x"}), Exception);
  EXPECT_THROW(filetype::ReadFileType({true, L"mail to"}), Exception);
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

  const TFileType type = filetype::ReadFileType({false, L".t"});
  std::vector<std::wstring> lines;
  for (const filetype::TOpenWithEntry& e : type.OpenWith)
    lines.push_back(e.Name + L"|" + std::to_wstring(static_cast<int>(e.Place)) + L"|" +
                    common::ExtractFileName(e.Program) + L"|" +
                    (e.TypeMissing ? L"no type" : e.Unchecked ? L"unchecked" : e.Exists ? L"ok" : L"gone"));
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"a|0|notepad.exe|ok", L"b|0|b.exe|gone", L"c|0|c.exe|unchecked",
                                              L"missing|0||no type", L"a|1|notepad.exe|ok",
                                              L"notepad.exe|2|notepad.exe|ok", L"nosuch.exe|2|nosuch.exe|gone"}));
  // A program on the network is not looked at, and its state says so.
  ASSERT_EQ(type.OpenWith.size(), 7u);
  EXPECT_EQ(filetype::texts::OpenWithCell(type.OpenWith[2], 3), L"ネットワーク上のため確認していません");
  EXPECT_EQ(filetype::texts::OpenWithCell(type.OpenWith[1], 3), L"プログラムが見つかりません");
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
  const TFileType before = filetype::ReadFileType({false, L".t"});
  EXPECT_EQ(before.EditFlags, L"0x00010000");
  EXPECT_EQ(before.Display, filetype::TExtensionDisplay::Always);
  EXPECT_TRUE(filetype::PlanFileTypeEdit(before, before).Steps.empty());
  TFileType recased = before;
  recased.Verbs[1].Name = L"OPEN";
  EXPECT_TRUE(filetype::PlanFileTypeEdit(before, recased).Steps.empty()) << "the same key: nothing moves or goes";

  TFileType edited = before;
  TVerb& edit = edited.Verbs[0];
  ASSERT_EQ(edit.Name, L"edit");
  edit.Name = L"edit2";                                  // renamed: its values and sub-keys go along
  edit.Command = L"%ProgramFiles%\\e2.exe %1";           // stays REG_EXPAND_SZ
  edited.Display = filetype::TExtensionDisplay::Never;
  edited.ContentType.clear();
  edited.PerceivedType = L"text";
  std::erase_if(edited.OpenWith, [](const filetype::TOpenWithEntry& e) { return e.Name == L"y.exe"; });
  const assoc::TChangePlan plan = filetype::PlanFileTypeEdit(before, edited);
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
  EXPECT_EQ(filetype::ReadFileType({false, L".t"}).Description, L"A 文書") << "untouched";

  // Two verbs that trade names trade their keys whole.
  const TFileType traded = filetype::ReadFileType({false, L".t"});
  TFileType swapped = traded;
  ASSERT_EQ(swapped.Verbs[0].Name + L"," + swapped.Verbs[1].Name, L"edit2,open");
  swapped.Verbs[0].Name = L"open";
  swapped.Verbs[1].Name = L"edit2";
  assoc::ExecuteChange(filetype::PlanFileTypeEdit(traded, swapped));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\open", L"Icon").text, L"e.exe,0");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2\\command").text, L"o.exe %1");
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"Icon").type, static_cast<DWORD>(REG_NONE));
  const TFileType back = filetype::ReadFileType({false, L".t"});
  swapped = back;
  swapped.Verbs[0].Name = L"open";
  swapped.Verbs[1].Name = L"edit2";
  assoc::ExecuteChange(filetype::PlanFileTypeEdit(back, swapped));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"MUIVerb").text, L"@x.dll,-5") << "and back";

  // A caption typed over a MUIVerb text replaces it.
  const TFileType now = filetype::ReadFileType({false, L".t"});
  TFileType captioned = now;
  captioned.Verbs[0].Caption = L"編集";
  assoc::ExecuteChange(filetype::PlanFileTypeEdit(now, captioned));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2", L"MUIVerb").type, static_cast<DWORD>(REG_NONE));
  EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, L"a\\shell\\edit2").text, L"編集");
}

TEST_F(FileTypeTest, AProtocolsVerbsChangeUnderItsOwnPolicy) {
  Write({{L"tvr", L"", L"URL:Tavrelo"},
         {L"tvr", L"URL Protocol", L""},
         {L"tvr\\shell\\open\\command", L"", L"t.exe \"%1\""}});
  const TFileType before = filetype::ReadFileType({true, L"tvr"});
  EXPECT_EQ(before.Description, L"URL:Tavrelo");
  EXPECT_EQ(VerbLines(before), std::vector<std::wstring>{L"open||t.exe \"%1\"|D|T"});
  TFileType edited = before;
  edited.Verbs[0].Command = L"t2.exe \"%1\"";
  edited.Description = L"URL:Tavrelo 2";
  const assoc::TChangePlan plan = filetype::PlanFileTypeEdit(before, edited);
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
      {L"", filetype::texts::kVerbNameMissing},
      {L"a\\b", filetype::texts::kVerbNameInvalid},
      {L"..", filetype::texts::kVerbNameInvalid},
      {L"編集", filetype::texts::kVerbNameInvalid},
      {std::wstring(65, L'a'), filetype::texts::kVerbNameInvalid},
      {L"OPEN", filetype::texts::kVerbNameTaken},
  };
  for (const auto& [name, problem] : cases) EXPECT_EQ(filetype::VerbNameProblem(name, others), problem) << name;
}

}  // namespace
