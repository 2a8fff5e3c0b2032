// What the list reads beyond the classic columns, on registry states built in a sandbox: the
// problems of an association, protocols as rows, the registry file of selected rows, and the
// window reading its rows in parts through a slow registry (filters, sort order and selection
// kept as rows arrive; saves wait for the last row; Esc and closing stop the reading).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "assoc/reg_file.h"
#include "assoclist/UnitFormAssocList.h"
#include "assoclist/export_text.h"
#include "assoclist/assoc_rows.h"
#include "assoclist/list_texts.h"
#include "assoclist/reg_export.h"
#include "common/handles.h"
#include "common/local_files.h"
#include "list_fixture.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"
#include "ui/application.h"

namespace {

using assoclist::AssocRow;
using listtest::Choice;
using listtest::Machine;
using listtest::Write;

const std::wstring kNotepad = L"\"%SystemRoot%\\system32\\notepad.exe\" \"%1\"";
const std::wstring kShell32Icon = L"%SystemRoot%\\system32\\shell32.dll,3";
constexpr wchar_t kUrlAssociations[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";

// .abc with a file type whose program and icon exist.
std::vector<Write> Healthy() {
  return {
      {Machine, L".abc", L"", L"abcFile"},
      {Machine, L"abcFile", L"", L"abc"},
      {Machine, L"abcFile\\shell\\open\\command", L"", kNotepad},
      {Machine, L"abcFile\\DefaultIcon", L"", kShell32Icon},
  };
}

struct ProblemCase {
  const char* name;
  std::vector<Write> more;  // after Healthy()
  const wchar_t* cell;      // the 問題 cell of .abc
};

const ProblemCase kProblemCases[] = {
    {"None", {}, L""},
    {"FileTypeMissing", {{Machine, L".abc", L"", L"Gone.Type"}}, L"ファイルタイプがありません"},
    {"QuotedProgramMissing",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"\"C:\\Nowhere\\x.exe\" \"%1\""}},
     L"プログラムが見つかりません"},
    {"UnquotedProgramWithBlanksMissing",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"C:\\No where\\x.exe C:\\Windows\\notepad.exe"}},
     L"プログラムが見つかりません"},
    {"BareNameOnThePath", {{Machine, L"abcFile\\shell\\open\\command", L"", L"notepad %1"}}, L""},
    {"BareNameNowhere",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"no-such-program.exe %1"}},
     L"プログラムが見つかりません"},
    {"Rundll32LibraryFound",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"rundll32.exe shell32.dll,OpenAs_RunDLL %1"}},
     L""},
    {"Rundll32LibraryMissing",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"rundll32.exe C:\\Nowhere\\lib.dll,Show %1"}},
     L"プログラムが見つかりません"},
    {"DefaultVerbNamedIsChecked",
     {{Machine, L"abcFile\\shell", L"", L"edit"}, {Machine, L"abcFile\\shell\\edit\\command", L"", L"C:\\No\\e.exe"}},
     L"プログラムが見つかりません"},
    {"DefaultVerbNamedButMissingFallsBackToOpen", {{Machine, L"abcFile\\shell", L"", L"print"}}, L""},
    {"FirstVerbWithoutOpen",
     {{Machine, L".abc", L"", L"noOpen"}, {Machine, L"noOpen\\shell\\view\\command", L"", L"C:\\No\\v.exe"}},
     L"プログラムが見つかりません"},
    {"DelegateExecuteHasNoProgram",
     {{Machine, L".abc", L"", L"delegated"},
      {Machine, L"delegated\\shell\\open", L"DelegateExecute", L"{00000000-0000-0000-0000-000000000000}"}},
     L""},
    {"IconFileMissing", {{Machine, L"abcFile\\DefaultIcon", L"", L"C:\\Nowhere\\i.ico,0"}}, L"アイコンファイルが見つかりません"},
    {"IconIsAFolder", {{Machine, L"abcFile\\DefaultIcon", L"", L"%SystemRoot%,0"}}, L"アイコンファイルが見つかりません"},
    {"IconOfTheFileItself", {{Machine, L"abcFile\\DefaultIcon", L"", L"%1"}}, L""},
    {"ChoiceOfAMissingType",
     {{Choice, L".abc\\UserChoice", L"ProgId", L"Gone.Type"}, {Choice, L".abc\\UserChoice", L"Hash", L"x"}},
     L"選択先のファイルタイプがありません"},
    {"OpenWithOfAMissingType", {{Machine, L".abc\\OpenWithProgids", L"Gone.Type", L"", REG_NONE}},
     L"選択先のファイルタイプがありません"},
    {"OpenWithOfAnExistingType", {{Machine, L".abc\\OpenWithProgids", L"abcFile", L"", REG_NONE}}, L""},
    {"UsersOpenWithOfAMissingType", {{Choice, L".abc\\OpenWithProgids", L"Gone.Type", L"", REG_NONE}},
     L"選択先のファイルタイプがありません"},
    {"ProgramOnAShare",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"\"\\\\tavrelo-nowhere\\share\\x.exe\" \"%1\""}},
     L"ネットワーク上のため確認していません"},
    {"ProgramWithAStream",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"%SystemRoot%\\system32\\notepad.exe:s %1"}},
     L"ネットワーク上のため確認していません"},
    {"Rundll32LibraryOnAShare",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"rundll32.exe \\\\tavrelo-nowhere\\s\\lib.dll,Show %1"}},
     L"ネットワーク上のため確認していません"},
    {"IconOnADeviceAndProgramOnAPipeSaidOnce",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"\\\\.\\pipe\\tavrelo %1"},
      {Machine, L"abcFile\\DefaultIcon", L"", L"%SystemRoot%\\nul.ico,0"}},
     L"ネットワーク上のため確認していません"},
    {"ProgramMissingAndIconOnAShare",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"C:\\No\\x.exe"},
      {Machine, L"abcFile\\DefaultIcon", L"", L"\\\\?\\UNC\\tavrelo-nowhere\\s\\i.ico,0"}},
     L"プログラムが見つかりません、ネットワーク上のため確認していません"},
    {"SeveralJoined",
     {{Machine, L"abcFile\\shell\\open\\command", L"", L"C:\\No\\x.exe"},
      {Machine, L"abcFile\\DefaultIcon", L"", L"C:\\No\\x.exe,0"},
      {Machine, L".abc\\OpenWithProgids", L"Gone.Type", L"", REG_NONE}},
     L"プログラムが見つかりません、アイコンファイルが見つかりません、選択先のファイルタイプがありません"},
};

class ProblemsTest : public testing::TestWithParam<ProblemCase> {
 protected:
  testsupport::RegistrySandbox sandbox_{testsupport::SandboxRoots::WithMachine};
};

TEST_P(ProblemsTest, NamesWhatIsBrokenInTheLastColumn) {
  ASSERT_TRUE(sandbox_.Ok());
  listtest::Apply(Healthy());
  listtest::Apply(GetParam().more);
  std::vector<std::wstring> opened;
  auto watch = common::OpenFileRaw.Replace([&](const std::wstring& path, DWORD flags) {
    opened.push_back(path);
    return common::OpenFileRaw.Real(path, flags);
  });
  const std::vector<AssocRow> rows = assoclist::ReadAssociationRows();
  // Programs and icon files are looked at on local drives only.
  for (const std::wstring& path : opened) EXPECT_TRUE(common::IsLocalFilePath(path)) << testing::PrintToString(path);
  const auto abc = std::find_if(rows.begin(), rows.end(), [](const AssocRow& r) { return r.key == L".abc"; });
  ASSERT_NE(abc, rows.end());
  EXPECT_EQ(abc->cells[assoclist::kProblem], GetParam().cell);
  EXPECT_EQ(assoclist::ReadAssociationRows(false).front().cells[assoclist::kProblem], L"") << "unchecked";
}

INSTANTIATE_TEST_SUITE_P(States, ProblemsTest, testing::ValuesIn(kProblemCases),
                         [](const testing::TestParamInfo<ProblemCase>& info) { return info.param.name; });

// Protocols: mailto chosen by the user, a scheme whose program is gone and whose choice names
// nothing, and a key without "URL Protocol", which is no protocol.
void ApplyProtocols() {
  listtest::Apply(Healthy());
  listtest::Apply({
      {Machine, L"mailto", L"", L"URL:MailTo Protocol"},
      {Machine, L"mailto", L"URL Protocol", L""},
      {Machine, L"mailto\\shell\\open\\command", L"", kNotepad},
      {Machine, L"Mail.Url", L"", L"Mail"},
      {Machine, L"Mail.Url\\shell\\open\\command", L"", L"\"C:\\Mail\\mail.exe\" %1"},
      {Machine, L"tav-x", L"URL Protocol", L""},
      {Machine, L"tav-x\\shell\\open\\command", L"", L"C:\\Gone\\tav.exe \"%1\""},
      {Machine, L"notaprotocol\\shell\\open\\command", L"", kNotepad},
  });
  testsupport::WriteValue(HKEY_CURRENT_USER, std::wstring(kUrlAssociations) + L"mailto\\UserChoice", L"ProgId", REG_SZ,
                          L"Mail.Url");
  testsupport::WriteValue(HKEY_CURRENT_USER, std::wstring(kUrlAssociations) + L"tav-x\\UserChoice", L"ProgId", REG_SZ,
                          L"Gone.Url");
}

TEST(ProtocolRowsTest, KeysWithAUrlProtocolValueAreRowsWithTheirCommandAndTheUsersChoice) {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  ASSERT_TRUE(sandbox.Ok());
  ApplyProtocols();
  const listtest::Trees before = listtest::Snapshot(sandbox);
  std::vector<std::array<std::wstring, assoclist::kColumnCount>> protocols;
  std::vector<std::wstring> keys;
  for (const AssocRow& row : assoclist::ReadAssociationRows()) {
    keys.push_back(row.key);
    if (row.kind == assoclist::RowKind::Protocol) protocols.push_back(row.cells);
  }
  EXPECT_EQ(keys, (std::vector<std::wstring>{L".abc", L"mailto", L"tav-x"}));
  ASSERT_EQ(protocols.size(), 2u);
  EXPECT_EQ(protocols[0], (std::array<std::wstring, assoclist::kColumnCount>{
                              L"mailto:", L"mailto", L"URL:MailTo Protocol", kNotepad, L"",
                              L"利用者の選択：C:\\Mail\\mail.exe", L""}));
  EXPECT_EQ(protocols[1], (std::array<std::wstring, assoclist::kColumnCount>{
                              L"tav-x:", L"tav-x", L"", L"C:\\Gone\\tav.exe \"%1\"", L"", L"選択先なし：Gone.Url",
                              L"プログラムが見つかりません、選択先のファイルタイプがありません"}));
  EXPECT_TRUE(listtest::Snapshot(sandbox) == before) << "reading changed the registry";
}

TEST(RegExportTest, SelectedRowsCarryTheirExtensionsFileTypesAndProtocolsOnce) {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  ASSERT_TRUE(sandbox.Ok());
  ApplyProtocols();
  listtest::Apply({{Machine, L".ABD", L"abcFile"}, {Machine, L".gone", L"", L"Gone.Type"}});
  std::vector<AssocRow> rows = assoclist::ReadAssociationRows();
  std::vector<const AssocRow*> selected;
  for (const wchar_t* key : {L".abc", L"mailto", L".ABD", L".gone"})
    for (const AssocRow& row : rows)
      if (row.key == key) selected.push_back(&row);
  ASSERT_EQ(selected.size(), 4u);

  const assoc::TRegDocument document = assoc::ReadRegFile(assoclist::RegExportBytes(selected));
  std::vector<std::wstring> sections;
  for (const assoc::TRegKey& key : document.Keys) sections.push_back((key.Remove ? L"-" : L"") + key.Path);
  const std::vector<std::wstring> expected = {
      L"-HKEY_CLASSES_ROOT\\.abc",
      L"HKEY_CLASSES_ROOT\\.abc",
      L"-HKEY_CLASSES_ROOT\\abcFile",
      L"HKEY_CLASSES_ROOT\\abcFile",
      L"HKEY_CLASSES_ROOT\\abcFile\\DefaultIcon",
      L"HKEY_CLASSES_ROOT\\abcFile\\shell",
      L"HKEY_CLASSES_ROOT\\abcFile\\shell\\open",
      L"HKEY_CLASSES_ROOT\\abcFile\\shell\\open\\command",
      L"-HKEY_CLASSES_ROOT\\mailto",
      L"HKEY_CLASSES_ROOT\\mailto",
      L"HKEY_CLASSES_ROOT\\mailto\\shell",
      L"HKEY_CLASSES_ROOT\\mailto\\shell\\open",
      L"HKEY_CLASSES_ROOT\\mailto\\shell\\open\\command",
      L"-HKEY_CLASSES_ROOT\\.ABD",
      L"HKEY_CLASSES_ROOT\\.ABD",
      L"-HKEY_CLASSES_ROOT\\.gone",
      L"HKEY_CLASSES_ROOT\\.gone",
  };
  EXPECT_EQ(sections, expected) << "abcFile once; a missing file type not at all";
}

// The window on 200 extensions whose later half comes from a slow registry: each open of their
// keys waits a few milliseconds, so that the worker is still reading while the test acts.
class ProgressiveLoadTest : public testing::Test {
 protected:
  static constexpr int kExtensions = 200;
  void SetUp() override {
    ASSERT_TRUE(sandbox.Ok());
    std::vector<Write> state;
    for (int i = 0; i < kExtensions; ++i) state.push_back({Machine, Name(i), L"", L"t"});
    listtest::Apply(state);
  }
  void TearDown() override {
    SetEvent(gate.get());
    form.reset();
    ui::ProcessMessages();
  }
  static std::wstring Name(int i) {
    wchar_t name[8];
    swprintf(name, 8, L".e%03d", i);
    return name;
  }
  void Open() {
    form = std::make_unique<ui::Modeless<TFormAssocList>>(nullptr, 96);
    form->Show();
  }
  // Handles messages until done says so (at most 30 s).
  template <typename Done>
  bool PumpUntil(Done done) const {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(5)) {
      ui::ProcessMessages();
      if (done()) return true;
    }
    return false;
  }
  void PressEscape() const {
    MSG msg{form->ListViewAssoc(), WM_KEYDOWN, VK_ESCAPE, 1};
    ui::Application::Instance().Dispatch(msg);
    ui::ProcessMessages();
  }
  // The rows the list shows, in their order.
  std::vector<const AssocRow*> ShownRows() const {
    std::vector<const AssocRow*> rows;
    for (size_t i = 0; i < form->Table().ShownCount(); ++i) rows.push_back(&form->Table().Shown(i));
    return rows;
  }

  testsupport::RegistrySandbox sandbox{testsupport::SandboxRoots::WithMachine};
  std::atomic<int> opens{0};
  // Open: the rows after .e101 are read; a test that closes it holds them back, however busy the
  // machine, until it opens it again (at most 30 s).
  common::UniqueKernelHandle gate{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
  common::Seam<LONG(HKEY, const wchar_t*, REGSAM, HKEY*)>::Scope slow =
      assoclist::OpenRowKey.Replace([this](HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) {
        ++opens;
        if (parent == HKEY_CLASSES_ROOT && wcsncmp(path, L".e1", 3) == 0) {
          Sleep(5);
          if (wcscmp(path, L".e102") >= 0) WaitForSingleObject(gate.get(), 30000);
        }
        return assoclist::OpenRowKey.Real(parent, path, access, key);
      });
  std::unique_ptr<TFormAssocList> form;
};

TEST_F(ProgressiveLoadTest, FirstPageAtOnceThenTheRestWithFiltersSortAndSelectionKept) {
  Open();
  ASSERT_TRUE(form->Loading());
  EXPECT_EQ(form->Table().RowCount(), TFormAssocList::kFirstPageRows);
  EXPECT_EQ(form->StatusText(), assoclist::texts::LoadingStatus(TFormAssocList::kFirstPageRows, kExtensions));
  EXPECT_EQ(assoclist::texts::LoadingStatus(3200, 10000), L"読み込み中… 3,200 / 10,000");

  ASSERT_TRUE(PumpUntil([&] { return form->Table().RowCount() > 100; }));
  ASSERT_TRUE(form->Loading()) << "the slow half is still being read";
  form->EditFilter.SetText(L"e0");
  form->SortByColumn(assoclist::kExtension);  // descending
  form->SelectExtensions({Name(60), Name(5)});
  EXPECT_EQ(form->Table().Shown(0).key, Name(99));

  ASSERT_TRUE(PumpUntil([&] { return !form->Loading(); }));
  EXPECT_EQ(form->Table().RowCount(), static_cast<size_t>(kExtensions));
  EXPECT_EQ(form->Table().ShownCount(), 100u);
  EXPECT_EQ(form->Table().Shown(0).key, Name(99));
  EXPECT_EQ(form->SelectedExtensions(), (std::vector<std::wstring>{Name(60), Name(5)}));
  EXPECT_EQ(form->Table().Shown(ListView_GetNextItem(form->ListViewAssoc(), -1, LVNI_FOCUSED)).key, Name(60));
  EXPECT_EQ(form->StatusText(), assoclist::texts::ShownStatus(kExtensions, 100));
  form->EditFilter.SetText(L"e19");
  EXPECT_EQ(form->Table().ShownCount(), 10u) << "rows that came late are filtered like the first";
}

TEST_F(ProgressiveLoadTest, SavesWhileReadingWaitForTheLastRowThenWriteAllAndNameTheCount) {
  const testsupport::TempFolder folder;
  testsupport::FileDialogScript dialogs;
  testsupport::BoxScript boxes;
  dialogs.Then(folder / L"選んだ行.reg").Then(folder / L"一覧.csv");
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  ResetEvent(gate.get());
  Open();
  // .e100 to .e199: the slow half, of which only the first rows are read when the saves are asked.
  form->EditFilter.SetText(L"e1");
  ASSERT_TRUE(PumpUntil([&] { return form->Table().ShownCount() >= 2; }));
  form->SelectExtensions({Name(100), Name(101)});
  form->ExportReg();
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(TFormAssocList::IDM_LIST_SAVE_CSV, BN_CLICKED),
               reinterpret_cast<LPARAM>(form->Item(TFormAssocList::IDC_BTN_SAVE)));
  ASSERT_TRUE(form->Loading());
  EXPECT_TRUE(form->SaveWaiting());
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_TRUE(testsupport::FolderEntries(folder.Path()).empty()) << "nothing is written before the last row";
  EXPECT_NE(form->StatusText().find(L"読み込みが終わってから保存します。Esc キーで保存を中止します。"), std::wstring::npos)
      << testing::PrintToString(form->StatusText());

  SetEvent(gate.get());
  ASSERT_TRUE(PumpUntil([&] { return !form->Loading() && boxes.Shown().size() == 2; }));
  ASSERT_EQ(form->Table().ShownCount(), 100u);
  EXPECT_EQ(testsupport::ReadBytes(folder / L"一覧.csv"), assoclist::CsvBytes(ShownRows()));
  const std::vector<const AssocRow*> selected = {&form->Table().Shown(0), &form->Table().Shown(1)};
  ASSERT_EQ(form->SelectedExtensions(), (std::vector<std::wstring>{Name(100), Name(101)}));
  EXPECT_EQ(testsupport::ReadBytes(folder / L"選んだ行.reg"), assoclist::RegExportBytes(selected));
  const std::vector<ui::BoxRequest> shown = boxes.Take();
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[0].text, L"選んだ行の関連づけを登録ファイルに保存しました。（2 件）");
  EXPECT_EQ(shown[1].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[1].text, L"一覧を CSV ファイルに保存しました。（100 件）");
  EXPECT_FALSE(form->SaveWaiting());
  EXPECT_EQ(form->StatusText(), assoclist::texts::ShownStatus(kExtensions, 100));
  EXPECT_EQ(assoclist::texts::CsvSaved(10000, true), L"一覧を CSV ファイルに保存しました。（10,000 件）");
}

TEST_F(ProgressiveLoadTest, EscWhileASaveWaitsDropsOnlyTheSaveThenStopsTheReading) {
  const testsupport::TempFolder folder;
  testsupport::FileDialogScript dialogs;
  testsupport::BoxScript boxes;
  dialogs.Then(folder / L"中止.csv").Then(folder / L"途中まで.csv");
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  Open();
  form->SaveCsv();
  ASSERT_TRUE(form->SaveWaiting());
  PressEscape();
  std::vector<ui::BoxRequest> shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[0].text, L"保存を中止しました。ファイルには何も書き込んでいません。");
  EXPECT_FALSE(form->SaveWaiting());
  ASSERT_TRUE(form->Loading()) << "the reading goes on";
  EXPECT_EQ(form->StatusText().find(L"読み込み中… "), 0u);
  EXPECT_EQ(form->StatusText().find(L"保存します"), std::wstring::npos);

  // The next Esc stops the reading; a save of the part read says that the list is not whole.
  PressEscape();
  ASSERT_FALSE(form->Loading());
  ASSERT_TRUE(form->Handle());
  form->SaveCsv();
  const size_t rows = form->Table().ShownCount();
  EXPECT_EQ(testsupport::ReadBytes(folder / L"途中まで.csv"), assoclist::CsvBytes(ShownRows()));
  shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, L"読み込みを中止した一覧の " + assoclist::texts::Grouped(rows) + L" 件を CSV ファイルに保存しました。");
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()), std::vector<std::wstring>{L"途中まで.csv"})
      << "the dropped save wrote nothing";
}

TEST_F(ProgressiveLoadTest, EscStopsTheReadingAtOnceAndTheNextEscCloses) {
  Open();
  ASSERT_TRUE(PumpUntil([&] { return form->Table().RowCount() > TFormAssocList::kFirstPageRows; }));
  ASSERT_TRUE(form->Loading());
  PressEscape();
  EXPECT_FALSE(form->Loading());
  const int stoppedAt = opens;
  const size_t rows = form->Table().RowCount();
  EXPECT_LT(rows, static_cast<size_t>(kExtensions));
  EXPECT_TRUE(form->Handle()) << "the first Esc only stops the reading";
  EXPECT_EQ(form->StatusText().rfind(L"読み込みを中止しました", 0), 0u) << testing::PrintToString(form->StatusText());
  Sleep(100);
  ui::ProcessMessages();
  EXPECT_EQ(opens, stoppedAt) << "the worker reads nothing more";
  EXPECT_EQ(form->Table().RowCount(), rows);
  PressEscape();
  EXPECT_FALSE(form->Handle());

  // Closing while reading ends the worker before the window is gone.
  Open();
  ASSERT_TRUE(form->Loading());
  form.reset();
  const int closedAt = opens;
  Sleep(100);
  EXPECT_EQ(opens, closedAt);
}

}  // namespace
