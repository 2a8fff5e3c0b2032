// The command line driven as a script drives it: command lines in, exit code, standard output,
// standard error and the registry out, with the registry and the backups store sandboxed.
#include "cli/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "assoc/backup_store.h"
#include "assoc/shell_assoc.h"
#include "assoclist/assoc_rows.h"
#include "assoclist/export_text.h"
#include "common/text.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"

namespace {

using testsupport::KeyExists;
using testsupport::WriteValue;

constexpr wchar_t kChoice[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.t\\UserChoice";

// Standard output and error kept; questions answered from a queue (nothing: no console).
class TestConsole : public cli::TConsole {
 public:
  void Out(std::wstring_view text) override { out += text; }
  void Err(std::wstring_view text) override { err += text; }
  std::optional<bool> Ask(std::wstring_view question) override {
    asked.emplace_back(question);
    if (answers.empty()) return std::nullopt;
    const std::optional<bool> answer = answers.front();
    answers.pop_front();
    return answer;
  }
  cli::Language Shown() const override { return language; }

  std::wstring out, err;
  std::vector<std::wstring> asked;
  std::deque<std::optional<bool>> answers;
  cli::Language language = cli::Language::Japanese;
};

class CommandLine : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sandbox_.Ok()); }

  int Run(std::vector<std::wstring> args) {
    console_ = TestConsole{};
    console_.answers = std::move(answers_);
    answers_.clear();
    return cli::RunCommandLine(args, console_);
  }
  std::vector<std::wstring> Registry() const {
    auto lines = testsupport::Snapshot(sandbox_.Machine());
    const auto user = testsupport::Snapshot(sandbox_.User());
    lines.insert(lines.end(), user.begin(), user.end());
    return lines;
  }
  // Registers .t as the window would, through the command line.
  void RegisterT() {
    ASSERT_EQ(Run({L"register", L".t", L"/command:\"C:\\windows\\system32\\notepad.exe\" \"%1\"",
                   L"/description:テキスト", L"/yes"}),
              cli::kExitDone)
        << console_.err;
  }
  size_t HistoryLines() {
    EXPECT_EQ(Run({L"history"}), cli::kExitDone);
    return static_cast<size_t>(std::count(console_.out.begin(), console_.out.end(), L'\n'));
  }

  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
  testsupport::TempFolder appData_, files_;
  common::Seam<std::wstring()>::Scope folder_ = assoc::MachineDataFolder.Replace([this] { return appData_.Path(); });
  common::Seam<void()>::Scope notices_ = assoc::NotifyAssocChanged.Replace([] {});
  common::Seam<bool()>::Scope administrator_ = cli::RunsAsAdministrator.Replace([] { return true; });
  TestConsole console_;
  std::deque<std::optional<bool>> answers_;
};

TEST_F(CommandLine, AWrongCommandLineIsSaidOnStandardErrorAndChangesNothing) {
  WriteValue(HKEY_CLASSES_ROOT, L".u", L"", REG_SZ, L"ufile");
  const struct {
    std::vector<std::wstring> args;
    int code;
    std::wstring said;  // a part of standard error
  } cases[] = {
      {{}, cli::kExitUsage, L"終了コード"},
      {{L"frobnicate"}, cli::kExitUsage, L"「frobnicate」というコマンドはありません。"},
      {{L"list", L"/format:xml"}, cli::kExitUsage, L"「xml」は使えません"},
      {{L"list", L"/bogus"}, cli::kExitUsage, L"「/bogus」というオプションはありません"},
      {{L"list", L"extra"}, cli::kExitUsage, L"引数の数が違います"},
      {{L"show"}, cli::kExitUsage, L"引数の数が違います"},
      {{L"show", L"a b"}, cli::kExitUsage, L"プロトコルの名前でもありません"},
      {{L"show", L".nosuch"}, cli::kExitNotFound, L"「.nosuch」の関連づけはありません。"},
      {{L"export", L"x.reg", L".nosuch"}, cli::kExitNotFound, L"「.nosuch」の関連づけはありません。"},
      {{L"register", L".u"}, cli::kExitUsage, L"「/command」には値を指定して下さい"},
      {{L"register", L".u", L"/command:u.exe", L"/yes"}, cli::kExitUsage, L"/icon:ファイル,番号"},
      {{L"register", L".u", L"/command:u.exe", L"/icon:nocomma", L"/yes"}, cli::kExitUsage, L"/icon:ファイル,番号"},
      {{L"delete", L".nosuch", L"/yes"}, cli::kExitNotFound, L"「.nosuch」の関連づけはありません。"},
      {{L"delete", L".u", L"/yes:no"}, cli::kExitUsage, L"「/yes:no」というオプションはありません"},
      {{L"import", L"C:\\no\\such.reg", L"/yes"}, cli::kExitNotFound, L"ファイル「C:\\no\\such.reg」がありません。"},
      {{L"defaults", L"frob", L"x.xml"}, cli::kExitUsage, L"「defaults frob」というコマンドはありません。"},
  };
  const auto before = Registry();
  for (const auto& c : cases) {
    std::wstring line;
    for (const std::wstring& arg : c.args) line += arg + L" ";
    SCOPED_TRACE(common::Utf8(line));
    EXPECT_EQ(Run(c.args), c.code);
    EXPECT_NE(console_.err.find(c.said), std::wstring::npos) << common::Utf8(console_.err);
    EXPECT_TRUE(console_.out.empty());
  }
  EXPECT_EQ(Registry(), before);
  // Help asked for goes to standard output, in English where the console cannot show Japanese.
  console_.language = cli::Language::English;
  TestConsole english;
  english.language = cli::Language::English;
  EXPECT_EQ(cli::RunCommandLine(std::vector<std::wstring>{L"import", L"/?"}, english), cli::kExitDone);
  EXPECT_NE(english.out.find(L"tavrelo import FILE.reg [/dry-run] [/yes]"), std::wstring::npos);
  EXPECT_EQ(Run({L"/?"}), cli::kExitDone);
  EXPECT_NE(console_.out.find(L"7  質問に「いいえ」と答えたため"), std::wstring::npos);
}

TEST_F(CommandLine, AChangeWithoutAdministratorRightsChangesNothing) {
  RegisterT();
  const auto before = Registry();
  const std::wstring file = testsupport::Written(files_ / L"a.reg", "");
  auto scope = cli::RunsAsAdministrator.Replace([] { return false; });
  for (const std::vector<std::wstring>& args :
       {std::vector<std::wstring>{L"register", L".v", L"/command:C:\\v.exe", L"/yes"}, {L"delete", L".t", L"/yes"},
        {L"import", file, L"/yes"}, {L"undo", L"/yes"}, {L"redo", L"/yes"}}) {
    SCOPED_TRACE(common::Utf8(args[0]));
    EXPECT_EQ(Run(args), cli::kExitNeedsAdministrator);
    EXPECT_NE(console_.err.find(L"管理者として実行したコマンド プロンプトで実行して下さい。"), std::wstring::npos);
  }
  EXPECT_EQ(Registry(), before);
  // Reading needs no rights.
  EXPECT_EQ(Run({L"show", L".t"}), cli::kExitDone);
}

TEST_F(CommandLine, QuestionsAreAskedOnlyOnAConsoleAndNoChangesNothing) {
  const auto before = Registry();
  const std::vector<std::wstring> args = {L"register", L".t", L"/command:\"C:\\windows\\system32\\notepad.exe\" \"%1\""};
  EXPECT_EQ(Run(args), cli::kExitUsage) << "standard input is no console";
  EXPECT_NE(console_.err.find(L"/yes を付けて実行して下さい。"), std::wstring::npos);
  EXPECT_EQ(Registry(), before);

  answers_ = {false};
  EXPECT_EQ(Run(args), cli::kExitDeclined);
  ASSERT_EQ(console_.asked.size(), 1u);
  EXPECT_EQ(console_.asked[0], L"拡張子「.t」の関連づけを登録します。\nよろしいですか？");
  EXPECT_EQ(Registry(), before);

  answers_ = {true};
  EXPECT_EQ(Run(args), cli::kExitDone);
  EXPECT_NE(console_.err.find(L"関連づけを登録しました。"), std::wstring::npos);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"tFile\\shell\\open\\command"));
}

TEST_F(CommandLine, ARegisterWritesIntoTheFileTypeItNamesOnlyWhereThePolicyAllowsIt) {
  WriteValue(HKEY_CLASSES_ROOT, L".exe", L"", REG_SZ, L"exefile");
  WriteValue(HKEY_CLASSES_ROOT, L".txt", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"notepad.exe %1");
  WriteValue(HKEY_CLASSES_ROOT, L"web", L"URL Protocol", REG_SZ, L"");
  WriteValue(HKEY_CLASSES_ROOT, L"Vendor.Com.1\\CLSID", L"", REG_SZ, L"{00000000-0000-0000-0000-000000000002}");
  const std::wstring command = L"/command:\"C:\\windows\\system32\\notepad.exe\" \"%1\"";
  const auto before = Registry();
  const struct {
    std::wstring type;
    int code;
    std::wstring said;  // a part of standard error
  } refused[] = {
      {L"/type:", cli::kExitUsage, L"「/type」には値を指定して下さい"},
      {L"/type:exefile", cli::kExitRefused, L"ファイルタイプ「exefile」は拡張子に指定できません。システムが使うキーです。"},
      {L"/type:CLSID\\{00000000-0000-0000-0000-000000000001}", cli::kExitRefused,
       L"ファイルタイプ「CLSID\\{00000000-0000-0000-0000-000000000001}」は拡張子に指定できません。どの関連づけのキーでもありません。"},
      {L"/type:.txt", cli::kExitRefused, L"ファイルタイプ「.txt」は拡張子に指定できません。どの関連づけのキーでもありません。"},
      {L"/type:web", cli::kExitRefused, L"ファイルタイプ「web」は拡張子に指定できません。プロトコルのキーです。"},
      {L"/type:Vendor.Com.1", cli::kExitRefused, L"ファイルタイプ「Vendor.Com.1」は拡張子に指定できません。COM のクラスが使うキーです。"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(common::Utf8(c.type));
    EXPECT_EQ(Run({L"register", L".t", command, c.type, L"/yes"}), c.code);
    EXPECT_NE(console_.err.find(c.said), std::wstring::npos) << common::Utf8(console_.err);
    EXPECT_TRUE(console_.asked.empty());
  }
  EXPECT_EQ(Registry(), before);

  // A type another extension uses is asked about, naming that extension.
  answers_ = {false};
  EXPECT_EQ(Run({L"register", L".t", command, L"/type:txtfile"}), cli::kExitDeclined);
  ASSERT_FALSE(console_.asked.empty());
  EXPECT_NE(console_.asked[0].find(L"拡張子「.txt」"), std::wstring::npos) << common::Utf8(console_.asked[0]);
  EXPECT_EQ(Registry(), before);

  ASSERT_EQ(Run({L"register", L".t", command, L"/type:Vendor.T.1", L"/yes"}), cli::kExitDone)
      << common::Utf8(console_.err);
  EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, L".t").text, L"Vendor.T.1");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Vendor.T.1\\shell\\open\\command"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"tFile"));
}

TEST_F(CommandLine, ARegisterWithItsFollowUpIsOneHistoryEntryThatOneUndoTakesBack) {
  WriteValue(HKEY_CURRENT_USER, kChoice, L"ProgId", REG_SZ, L"Other.Type");
  const auto before = Registry();
  RegisterT();
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kChoice)) << "/yes answered the offer to remove the choice";
  EXPECT_EQ(HistoryLines(), 1u) << common::Utf8(console_.out);

  EXPECT_EQ(Run({L"undo", L"/yes"}), cli::kExitDone) << common::Utf8(console_.err);
  // Windows writes a choice only through its own settings; the undo gives back everything else.
  const auto withoutChoice = [](std::vector<std::wstring> lines) {
    bool inChoice = false;
    std::erase_if(lines, [&](const std::wstring& line) {
      if (line.starts_with(L"[")) inChoice = line.find(L"UserChoice") != std::wstring::npos;
      return inChoice;
    });
    return lines;
  };
  EXPECT_EQ(Registry(), withoutChoice(before));
  EXPECT_EQ(Run({L"redo", L"/yes"}), cli::kExitDone);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"tFile"));
  EXPECT_EQ(Run({L"delete", L"t", L"/yes"}), cli::kExitDone) << "the dot may be left out";
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".t"));
}

TEST_F(CommandLine, AnExportImportedGivesTheTreeBackADryRunWritesNothingAndAHostileFileIsRefused) {
  RegisterT();
  const auto registered = Registry();
  const std::wstring file = files_ / L"t.reg";
  ASSERT_EQ(Run({L"export", file, L".t"}), cli::kExitDone) << common::Utf8(console_.err);
  ASSERT_EQ(Run({L"delete", L".t", L"/yes"}), cli::kExitDone);
  const auto deleted = Registry();

  EXPECT_EQ(Run({L"import", file, L"/dry-run"}), cli::kExitDone);
  EXPECT_NE(console_.out.find(L"追加　キー HKEY_CLASSES_ROOT\\.t"), std::wstring::npos) << common::Utf8(console_.out);
  EXPECT_NE(console_.err.find(L"/dry-run のため、何も変更していません。"), std::wstring::npos);
  EXPECT_EQ(Registry(), deleted);

  EXPECT_EQ(Run({L"import", file, L"/yes"}), cli::kExitDone) << common::Utf8(console_.err);
  auto imported = Registry();
  EXPECT_EQ(imported, registered);

  const std::wstring hostile = testsupport::Written(
      files_ / L"evil.reg",
      testsupport::Utf8(L"REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\CLSID]\r\n\"URL Protocol\"=\"\"\r\n\r\n"
                        L"[HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32]\r\n@=\"C:\\\\evil.dll\"\r\n"));
  EXPECT_EQ(Run({L"import", hostile, L"/yes"}), cli::kExitRefused);
  EXPECT_NE(console_.err.find(L"CLSID"), std::wstring::npos) << common::Utf8(console_.err);
  EXPECT_TRUE(console_.out.empty());
  EXPECT_EQ(Registry(), registered);
}

TEST_F(CommandLine, ListWritesTheListWindowsRowsInEveryFormat) {
  RegisterT();
  WriteValue(HKEY_CLASSES_ROOT, L".gone", L"", REG_SZ, L"NoSuchType");
  WriteValue(HKEY_CLASSES_ROOT, L"tv-proto", L"URL Protocol", REG_SZ, L"");
  WriteValue(HKEY_CLASSES_ROOT, L"tv-proto\\shell\\open\\command", L"", REG_SZ, L"\"C:\\a,\"\"b.exe\" \"%1\"");
  const std::vector<assoclist::AssocRow> rows = assoclist::ReadAssociationRows();
  std::vector<const assoclist::AssocRow*> all;
  for (const auto& row : rows) all.push_back(&row);
  ASSERT_EQ(all.size(), 3u);

  ASSERT_EQ(Run({L"list"}), cli::kExitDone);
  EXPECT_EQ(common::Utf8(console_.out), assoclist::CsvBytes(all).substr(3)) << "CSV without its byte-order mark";
  ASSERT_EQ(Run({L"list", L"/format:tsv"}), cli::kExitDone);
  EXPECT_EQ(console_.out, assoclist::TabSeparatedText(all));

  ASSERT_EQ(Run({L"list", L"/format:JSON", L"/kind:protocol"}), cli::kExitDone);
  EXPECT_EQ(console_.out,
            L"[\r\n  {\"key\":\"tv-proto\",\"kind\":\"protocol\",\"extension\":\"tv-proto:\",\"fileType\":\"tv-proto\","
            L"\"description\":\"\",\"command\":\"\\\"C:\\\\a,\\\"\\\"b.exe\\\" \\\"%1\\\"\",\"icon\":\"\",\"explorer\":\"\","
            L"\"problem\":\"" +
                rows[2].cells[assoclist::kProblem] + L"\"}\r\n]\r\n");

  ASSERT_EQ(Run({L"list", L"/kind:ext", L"/problems", L"/format:tsv"}), cli::kExitDone);
  const assoclist::AssocRow* gone = nullptr;
  for (const auto* row : all)
    if (row->key == L".gone") gone = row;
  ASSERT_TRUE(gone);
  EXPECT_EQ(console_.out, assoclist::TabSeparatedText(std::vector<const assoclist::AssocRow*>{gone}));
}

TEST_F(CommandLine, ShowAndTheDefaultAssociationsFileOfThisMachine) {
  RegisterT();
  ASSERT_EQ(Run({L"show", L".t", L"/format:json"}), cli::kExitDone);
  EXPECT_NE(console_.out.find(L"\"typeKey\":\"tFile\",\"defaultVerb\":\"open\""), std::wstring::npos)
      << common::Utf8(console_.out);
  EXPECT_NE(console_.out.find(L"\"source\":\"machineClasses\""), std::wstring::npos);

  const std::wstring file = files_ / L"defaults.xml";
  ASSERT_EQ(Run({L"defaults", L"export", file}), cli::kExitDone) << common::Utf8(console_.err);
  EXPECT_NE(testsupport::ReadBytes(file).find("<Association Identifier=\".t\" ProgId=\"tFile\""), std::string::npos);
  EXPECT_EQ(Run({L"defaults", L"check", file}), cli::kExitDone) << common::Utf8(console_.out);

  const std::wstring broken = testsupport::Written(files_ / L"broken.xml", "<DefaultAssociations><Association");
  EXPECT_EQ(Run({L"defaults", L"check", broken}), cli::kExitRefused);
  EXPECT_NE(console_.out.find(L"XML として読めません"), std::wstring::npos) << common::Utf8(console_.out);
}

TEST_F(CommandLine, NoPlantedCharacterReachesTheTerminalAsItIs) {
  // A terminal takes ESC sequences as commands and the direction marks as a reordering of the line.
  const std::wstring planted = L"a\x1b]0;owned\x07\x202e\r\nb";
  WriteValue(HKEY_CLASSES_ROOT, L".p", L"", REG_SZ, L"pfile");
  WriteValue(HKEY_CLASSES_ROOT, L"pfile", L"", REG_SZ, planted);
  WriteValue(HKEY_CLASSES_ROOT, L"pfile\\shell\\open", L"", REG_SZ, planted);
  WriteValue(HKEY_CLASSES_ROOT, L"pfile\\shell\\open\\command", L"", REG_SZ, planted);
  WriteValue(HKEY_CLASSES_ROOT, L".p\\OpenWithProgids", planted, REG_SZ, L"");
  for (const std::vector<std::wstring>& args :
       {std::vector<std::wstring>{L"show", L".p"}, {L"show", L".p", L"/format:json"}, {L"list"}, {L"list", L"/format:tsv"},
        {L"list", L"/format:json"}}) {
    SCOPED_TRACE(common::Utf8(args.back()));
    ASSERT_EQ(Run(args), cli::kExitDone);
    EXPECT_EQ(console_.out.find_first_of(L"\x1b\x07\x202e"), std::wstring::npos) << common::Utf8(console_.out);
    EXPECT_EQ(console_.out.find(L"\r\nb"), std::wstring::npos);
  }
}

}  // namespace
