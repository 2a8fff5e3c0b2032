// The main window's settings files: open, save, save as, and the batch task that a settings file
// given on the command line runs, on a sandboxed registry with boxes and dialogs answered by script.
#include <windows.h>
#include <commdlg.h>

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "common/handles.h"
#include "common/local_files.h"
#include "resource.h"
#include "settings/file_access.h"
#include "support/pipe_server.h"
#include "support/temp_files.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

constexpr wchar_t kIniFilter[] = L"設定ファイル(*.INI)|*.INI|すべてのファイル(*.*)|*.*";

// The Example's setting: lines 1 to 7 as saving writes them, and the task that registers it.
constexpr char kExampleSetting[] =
    "[EXT]\r\nEXT=.abc\r\nCOMMAND=C:\\Tools\\abcview.exe\r\nFILE_TYPE=ABC document\r\n"
    "ICON_FILE=C:\\Tools\\abcview.exe\r\nICON_INDEX=0\r\n\r\n";
constexpr char kExampleTask[] = "[TASK]\r\nCOMMAND=1\r\nCLOSE=1\r\n\r\n";

std::wstring CannotOpen(const std::wstring& path, DWORD error) {
  return L"ファイル " + path + L" は開けません。 " + settings::SystemMessageText(error) + L" ";
}

struct Box {
  ui::BoxKind kind;
  std::wstring text;
};

void ExpectBoxes(const std::vector<ui::BoxRequest>& shown, const std::vector<Box>& expected) {
  ASSERT_EQ(shown.size(), expected.size());
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i].kind, expected[i].kind) << i;
    EXPECT_EQ(shown[i].text, expected[i].text) << i;
  }
}

class SettingsCommandsTest : public MainWindowTest {
 protected:
  std::vector<std::wstring> Fields() const {
    return {form->EditExt.Text(), form->EditCommand.Text(), form->EditFileType.Text(), form->EditIconFile.Text(),
            form->EditIconIndex.Text()};
  }
  bool PreviewIsWhite() const { return testsupport::IsAllWhite(form->ImageIcon()); }

  testsupport::TempFolder folder;
  testsupport::FileDialogScript dialogs;
};

TEST_F(SettingsCommandsTest, OpenFillsTheFieldsAndPreviewAndNeverRunsTheFilesTask) {
  const std::wstring path = folder / L"a.INI";
  WriteBytes(path, "[ext]\r\nExt=.abc\r\nICON_INDEX=0x3\r\nICON_FILE=" + testsupport::Ansi(Shell32Path()) +
                       "\r\n[TASK]\r\nCOMMAND=1\r\nCLOSE=1\r\n");
  form->EditCommand.SetText(L"overwritten by the file's empty value");
  dialogs.Then(path);
  form->ActionFileOpenExecute();

  EXPECT_EQ(Fields(), (std::vector<std::wstring>{L".abc", L"", L"", Shell32Path(), L"3"}));
  EXPECT_FALSE(PreviewIsWhite());
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - a.INI");
  EXPECT_EQ(form->SettingFileName(), path);
  EXPECT_TRUE(IsWindow(form->Handle()));
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_FALSE(testsupport::KeyExists(HKEY_CLASSES_ROOT, L".abc"));

  const ui::FileDialogRequest& request = dialogs.Shown().at(0);
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.owner, form->Handle());
  EXPECT_EQ(request.filter, kIniFilter);
  EXPECT_EQ(request.defaultExt, L"INI");
  EXPECT_EQ(request.flags,
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_ENABLESIZING));
  EXPECT_EQ(request.fileName, L"");

  // Cancel changes nothing; the dialog suggests the file it returned last, the save dialog does not.
  dialogs.Then(std::nullopt);
  form->ActionFileOpenExecute();
  EXPECT_EQ(dialogs.Shown().at(1).fileName, path);
  EXPECT_EQ(form->EditExt.Text(), L".abc");
  EXPECT_EQ(form->SaveDialogIni.FileName, L"");

  // A file that vanished before it was read is an empty setting.
  dialogs.Then(folder / L"gone.ini");
  form->ActionFileOpenExecute();
  EXPECT_EQ(Fields(), (std::vector<std::wstring>{L"", L"", L"", L"", L"0"}));
  EXPECT_TRUE(PreviewIsWhite());
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - gone.ini");
}

TEST_F(SettingsCommandsTest, AnIconFileOnTheNetworkOrAPipeIsShownButNeverOpened) {
  const testsupport::PipeServer pipe;
  std::vector<std::wstring> opened;
  auto watch = common::OpenFileRaw.Replace([&](const std::wstring& path, DWORD flags) {
    opened.push_back(path);
    return common::OpenFileRaw.Real(path, flags);
  });
  for (const std::wstring& icon : {pipe.Path(), std::wstring(L"\\\\tavrelo-nowhere\\share\\icons.dll")}) {
    const std::wstring path = folder / L"icon.ini";
    WriteBytes(path, "[EXT]\r\nEXT=.abc\r\nICON_FILE=" + testsupport::Ansi(icon) + "\r\nICON_INDEX=0\r\n");
    dialogs.Then(path);
    form->ActionFileOpenExecute();
    EXPECT_EQ(form->EditIconFile.Text(), icon);
    EXPECT_TRUE(PreviewIsWhite()) << testing::PrintToString(icon);
  }
  EXPECT_EQ(opened, std::vector<std::wstring>{});
  EXPECT_FALSE(pipe.Connected());
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(SettingsCommandsTest, OpeningAnUnreadableFileShowsTheTopLevelErrorAfterTheCaptionShowsIt) {
  const std::wstring path = folder / L"locked.ini";
  WriteBytes(path, kExampleSetting);
  common::UniqueFileHandle lock(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  Fill(L"kept", L"", L"", L"", L"0");
  dialogs.Then(path);
  boxes.Then(ui::mrOk);
  SendMessageW(form->Handle(), WM_COMMAND, IDM_FILE_OPEN, 0);

  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, L"Tavrelo 関連づけ編集ソフト");
  // The message ends in a blank, so the error box appends no ".".
  EXPECT_EQ(shown[0].text, CannotOpen(path, ERROR_SHARING_VIOLATION));
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - locked.ini");
  EXPECT_EQ(form->EditExt.Text(), L"kept");
}

TEST_F(SettingsCommandsTest, SaveWithoutANameAsksForOneThenWritesTheSettingLinesExactly) {
  Fill(L".abc", L"C:\\Tools\\abcview.exe", L"ABC document", L"C:\\Tools\\abcview.exe", L"0");
  const std::wstring path = folder / L"example.ini";

  dialogs.Then(std::nullopt);
  form->ActionFileSaveExecute();
  EXPECT_EQ(form->SettingFileName(), L"");
  EXPECT_TRUE(boxes.Shown().empty());

  dialogs.Then(path);
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  form->ActionFileSaveExecute();
  EXPECT_EQ(ReadBytes(path), kExampleSetting);
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - example.ini");
  // With a current name, save overwrites it without any dialog or question.
  form->ActionFileSaveExecute();
  EXPECT_EQ(ReadBytes(path), kExampleSetting);
  ExpectBoxes(boxes.Take(), {{ui::BoxKind::Information, L"ファイルに保存しました。"},
                             {ui::BoxKind::Information, L"ファイルに保存しました。"}});

  ASSERT_EQ(dialogs.Shown().size(), 2u);
  const ui::FileDialogRequest& request = dialogs.Shown()[1];
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.filter, kIniFilter);
  EXPECT_EQ(request.defaultExt, L"INI");
  EXPECT_EQ(request.flags,
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING));
  EXPECT_EQ(form->OpenDialogIni.FileName, L"");

  // A new setting saved as another file: the seven lines of an empty setting.
  form->ActionFileNewExecute();
  dialogs.Then(folder / L"empty.ini");
  boxes.Then(ui::mrOk);
  form->ActionFileSaveAsExecute();
  EXPECT_EQ(ReadBytes(folder / L"empty.ini"), "[EXT]\r\nEXT=\r\nCOMMAND=\r\nFILE_TYPE=\r\nICON_FILE=\r\nICON_INDEX=0\r\n\r\n");
}

TEST_F(SettingsCommandsTest, SavingKeepsATaskFilesTaskButSaveAsCarriesNoTaskToANewFile) {
  const std::wstring task = folder / L"task.ini";
  WriteBytes(task, std::string(kExampleTask) + "[EXT]\r\next=.old\r\n");
  dialogs.Then(task);
  form->ActionFileOpenExecute();
  form->EditExt.SetText(L".new");
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  form->ActionFileSaveExecute();
  EXPECT_EQ(ReadBytes(task), std::string(kExampleTask) +
                                 "[EXT]\r\nEXT=.new\r\nCOMMAND=\r\nFILE_TYPE=\r\nICON_FILE=\r\nICON_INDEX=0\r\n\r\n");

  dialogs.Then(folder / L"copy.ini");
  form->ActionFileSaveAsExecute();
  EXPECT_EQ(ReadBytes(folder / L"copy.ini"), "[EXT]\r\nEXT=.new\r\nCOMMAND=\r\nFILE_TYPE=\r\nICON_FILE=\r\nICON_INDEX=0\r\n\r\n");
  EXPECT_EQ(form->SettingFileName(), folder / L"copy.ini");
}

TEST_F(SettingsCommandsTest, SaveFailuresShowAWarningAndLeaveTheFileAsItWas) {
  const std::wstring readOnly = folder / L"readonly.ini";
  const std::wstring locked = folder / L"locked.ini";
  WriteBytes(readOnly, kExampleSetting);
  WriteBytes(locked, kExampleSetting);
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  common::UniqueFileHandle lock(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  Fill(L".changed", L"x.exe", L"", L"", L"0");

  boxes.Then(ui::mrOk);
  form->SaveSettingFile(readOnly);
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - readonly.ini");
  boxes.Then(ui::mrOk);
  form->SaveSettingFile(locked);
  ExpectBoxes(boxes.Take(), {{ui::BoxKind::Warning, L"ファイル \"" + readOnly + L"\" を作成できません。" +
                                                        settings::SystemMessageText(ERROR_ACCESS_DENIED)},
                             {ui::BoxKind::Warning, CannotOpen(locked, ERROR_SHARING_VIOLATION)}});
  EXPECT_EQ(form->SettingFileName(), locked);
  lock.reset();
  EXPECT_EQ(ReadBytes(readOnly), kExampleSetting);
  EXPECT_EQ(ReadBytes(locked), kExampleSetting);
}

TEST_F(SettingsCommandsTest, AFieldBeyondWhatWindowsAcceptsRefusesTheFileNamingTheFieldAndChangesNoField) {
  struct LengthCase {
    ui::Control TFormMain::*field;
    const char* key;
    std::wstring value;
    const wchar_t* refused;  // the message when the file is refused, else null
  };
  const std::wstring a254(254, L'a');
  const wchar_t* const extension = L"設定ファイルの「拡張子」が「.」を含めて 255 文字を超えています";
  const LengthCase cases[] = {
      // The extension becomes the name of a registry key, its "." included.
      {&TFormMain::EditExt, "EXT", L"." + a254, nullptr},
      {&TFormMain::EditExt, "EXT", a254 + L"a", extension},
      {&TFormMain::EditExt, "EXT", L"." + a254 + L"a", extension},
      {&TFormMain::EditCommand, "COMMAND", std::wstring(32767, L'c'), nullptr},
      {&TFormMain::EditCommand, "COMMAND", std::wstring(32768, L'c'),
       L"設定ファイルの「実行プログラム」が 32767 文字を超えています"},
      {&TFormMain::EditFileType, "FILE_TYPE", std::wstring(32767, L'f'), nullptr},
      {&TFormMain::EditFileType, "FILE_TYPE", std::wstring(32768, L'f'),
       L"設定ファイルの「ファイルタイプの説明」が 32767 文字を超えています"},
      {&TFormMain::EditIconFile, "ICON_FILE", std::wstring(32767, L'i'), nullptr},
      {&TFormMain::EditIconFile, "ICON_FILE", std::wstring(1 << 20, L'i'),
       L"設定ファイルの「アイコンファイル」が 32767 文字を超えています"},
  };
  const std::wstring path = folder / L"long.ini";
  const std::vector<std::wstring> before = {L".kept", L"kept.exe", L"kept", L"", L"0"};
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " of " + std::to_string(c.value.size()));
    WriteBytes(path, std::string("[EXT]\r\n") + c.key + "=" + testsupport::Ansi(c.value) + "\r\n" + kExampleTask);
    Fill(before[0], before[1], before[2], before[3], before[4]);
    dialogs.Then(path);
    if (!c.refused) {
      form->ActionFileOpenExecute();
      const std::wstring shown = (form.get()->*c.field).Text();
      EXPECT_TRUE(shown == c.value) << "the field holds " << shown.size() << " characters";
      EXPECT_TRUE(boxes.Take().empty());
      continue;
    }
    // Opened from the menu, the file is refused in the application's error box; run as a batch
    // task, in the task's error box, and the task is not run.
    boxes.Then(ui::mrOk).Then(ui::mrOk);
    SendMessageW(form->Handle(), WM_COMMAND, IDM_FILE_OPEN, 0);
    EXPECT_TRUE(Fields() == before) << "opening changed a field";
    form->ExecuteSettingFile(path);
    EXPECT_TRUE(Fields() == before) << "the batch task changed a field";
    ExpectBoxes(boxes.Take(), {{ui::BoxKind::Error, c.refused + std::wstring(L".")}, {ui::BoxKind::Error, c.refused}});
    EXPECT_TRUE(IsWindow(form->Handle()));
  }
}

TEST_F(SettingsCommandsTest, AFieldWithALineBreakIsNotSavedSinceItWouldForgeLines) {
  struct BreakCase {
    ui::Control TFormMain::*field;
    const wchar_t* label;
    const wchar_t* text;
  };
  const BreakCase cases[] = {
      {&TFormMain::EditExt, L"拡張子", L".abc\r\n[TASK]"},
      {&TFormMain::EditCommand, L"実行プログラム", L"x.exe\r\nCOMMAND=1"},
      {&TFormMain::EditFileType, L"ファイルタイプの説明", L"line\none"},
      {&TFormMain::EditIconFile, L"アイコンファイル", L"C:\\a.ico\r"},
  };
  const std::wstring path = folder / L"kept.ini";
  for (const BreakCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.label)));
    WriteBytes(path, kExampleSetting);
    Fill(L".abc", L"x.exe", L"", L"", L"0");
    (form.get()->*c.field).SetText(c.text);
    ASSERT_EQ((form.get()->*c.field).Text(), c.text) << "the field does not keep the line break";
    boxes.Then(ui::mrOk);
    form->SaveSettingFile(path);
    const std::wstring refusal = L"「" + std::wstring(c.label) + L"」に改行または NUL 文字が含まれているため保存できません。";
    ExpectBoxes(boxes.Take(), {{ui::BoxKind::Warning, refusal}});
    EXPECT_EQ(ReadBytes(path), kExampleSetting);
  }
  // A new file is not even created.
  boxes.Then(ui::mrOk);
  form->SaveSettingFile(folder / L"new.ini");
  EXPECT_EQ(boxes.Take().size(), 1u);
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()), std::vector<std::wstring>{L"kept.ini"});
}

TEST_F(MainWindowTest, RunningOutOfMemoryAnywhereShowsAMessageThatSaysSo) {
  // A command whose failure nobody catches: the window procedure hands it to the error box.
  struct Throwing : TFormMain {
    using TFormMain::TFormMain;
    void OnCommand(int id) override {
      if (id != 4243) return TFormMain::OnCommand(id);
      throw std::bad_alloc();
    }
  };
  auto throwing = std::make_unique<Throwing>(96);
  throwing->Show();
  boxes.Then(ui::mrOk);
  SendMessageW(throwing->Handle(), WM_COMMAND, 4243, 0);
  ExpectBoxes(boxes.Take(), {{ui::BoxKind::Error, L"メモリが不足しています."}});
  EXPECT_TRUE(IsWindow(throwing->Handle()));
}

struct TaskCase {
  const char* what;
  std::string task;           // the file's [TASK] lines
  const wchar_t* iconIndex;   // ICON_INDEX of the file's setting
  std::vector<int> answers;   // to the boxes, in order
  std::vector<Box> boxes;
  bool closes;
  bool registeredAfter;
};

TEST_F(SettingsCommandsTest, TheBatchTaskRunsTheButtonsWorkflowsThenClosesOnlyForCloseOne) {
  const std::wstring ask = L"拡張子「.tvb」の関連づけを登録します。\nよろしいですか？";
  const std::wstring askDelete = L"拡張子「.tvb」の関連づけを削除します。\nよろしいですか？";
  const TaskCase cases[] = {
      {"no task", "", L"0", {}, {}, false, false},
      {"register, then close", "COMMAND=1\r\nCLOSE=1", L"0", {ui::mrYes, ui::mrOk},
       {{ui::BoxKind::Confirmation, ask}, {ui::BoxKind::Information, L"関連づけを登録しました。"}}, true, true},
      {"register refused: the tool closes all the same", "COMMAND=1\r\nCLOSE=1", L"0", {ui::mrNo},
       {{ui::BoxKind::Confirmation, ask}}, true, false},
      {"a negative icon index is refused; CLOSE 0x1 reads as 1", "COMMAND=1\r\nCLOSE=0x1", L"-1", {ui::mrOk},
       {{ui::BoxKind::Warning, L"アイコンを選択して下さい。"}}, true, false},
      {"CLOSE 2 leaves the window open", "COMMAND=1\r\nCLOSE=2", L"0", {ui::mrYes, ui::mrOk},
       {{ui::BoxKind::Confirmation, ask}, {ui::BoxKind::Information, L"関連づけを登録しました。"}}, false, true},
      {"no task code 0 or 4, whatever CLOSE says", "COMMAND=4\r\nCLOSE=1", L"0", {}, {}, false, false},
      {"read back only", "COMMAND=3", L"0", {}, {}, false, false},
      {"read back, then delete", "COMMAND=2\r\nCLOSE=0", L"0", {ui::mrYes, ui::mrOk},
       {{ui::BoxKind::Confirmation, askDelete}, {ui::BoxKind::Information, L"関連づけを削除しました。"}}, false, false},
      {"read back, then delete refused, then close", "COMMAND=2\r\nCLOSE=1", L"0", {ui::mrCancel},
       {{ui::BoxKind::Confirmation, askDelete}}, true, true},
  };
  const std::wstring path = folder / L"batch.ini";
  for (const TaskCase& c : cases) {
    SCOPED_TRACE(c.what);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tvb");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"tvbFile");
    // Tasks 2 and 3 find the association in the registry, which differs from the file's setting.
    testsupport::WriteValue(HKEY_CLASSES_ROOT, L".tvb", L"", REG_SZ, L"tvbFile");
    testsupport::WriteValue(HKEY_CLASSES_ROOT, L"tvbFile", L"", REG_SZ, L"from the registry");
    if (c.task.find("COMMAND=1") != std::string::npos) RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tvb");
    WriteBytes(path, "[EXT]\r\nEXT=tvb\r\nCOMMAND=\"C:\\x.exe\" \"%1\"\r\nFILE_TYPE=from the file\r\nICON_FILE=" +
                         testsupport::Ansi(Shell32Path()) + "\r\nICON_INDEX=" + testsupport::Ansi(c.iconIndex) +
                         "\r\n" + (c.task.empty() ? "" : "[TASK]\r\n" + c.task + "\r\n"));
    form = std::make_unique<TFormMain>(96);
    form->Show();
    for (int answer : c.answers) boxes.Then(answer);

    form->ExecuteSettingFile(path);

    ExpectBoxes(boxes.Take(), c.boxes);
    EXPECT_EQ(IsWindow(form->Handle()), !c.closes);
    if (IsWindow(form->Handle())) {
      EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - batch.ini");
      EXPECT_EQ(form->EditExt.Text(), L"tvb");
    }
    EXPECT_EQ(form->SettingFileName(), path);
    const bool readBack = c.task.find("COMMAND=2") != std::string::npos || c.task.find("COMMAND=3") != std::string::npos;
    if (readBack && IsWindow(form->Handle())) {
      EXPECT_EQ(form->EditFileType.Text(), L"from the registry");
    }
    if (c.task.find("COMMAND=1") != std::string::npos || c.task.find("COMMAND=2") != std::string::npos) {
      EXPECT_EQ(testsupport::KeyExists(HKEY_CLASSES_ROOT, L".tvb"), c.registeredAfter);
    }
  }
}

TEST_F(SettingsCommandsTest, TheBatchTaskIgnoresNamesOfNoFileAndReportsAnUnreadableOne) {
  CreateDirectoryW((folder / L"dir.ini").c_str(), nullptr);
  for (const std::wstring& name : {std::wstring(), folder / L"missing.ini", folder / L"dir.ini"}) {
    form->ExecuteSettingFile(name);
    EXPECT_EQ(form->SettingFileName(), L"");
    EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト");
  }
  EXPECT_TRUE(boxes.Shown().empty());

  const std::wstring path = folder / L"locked.ini";
  WriteBytes(path, std::string(kExampleSetting) + kExampleTask);
  common::UniqueFileHandle lock(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  boxes.Then(ui::mrOk);
  form->ExecuteSettingFile(path);
  ExpectBoxes(boxes.Take(), {{ui::BoxKind::Error, CannotOpen(path, ERROR_SHARING_VIOLATION)}});
  EXPECT_TRUE(IsWindow(form->Handle())) << "CLOSE is not honoured when the file cannot be read";
  EXPECT_EQ(form->SettingFileName(), path);
  EXPECT_EQ(form->EditExt.Text(), L"");

  // A relative name stays relative.
  lock.reset();
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  SetCurrentDirectoryW(folder.Path().c_str());
  WriteBytes(folder / L"relative.ini", kExampleSetting);
  form->ExecuteSettingFile(L"relative.ini");
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(form->SettingFileName(), L"relative.ini");
  EXPECT_EQ(form->EditExt.Text(), L".abc");
}

TEST_F(SettingsCommandsTest, TheIdleHandOverRunsOnceAndEachWindowRemovesOnlyItsOwnHandler) {
  auto& app = ui::Application::Instance();
  EXPECT_TRUE(app.HasIdleHandler());
  auto second = std::make_unique<TFormMain>(96);
  form.reset();
  EXPECT_TRUE(app.HasIdleHandler()) << "the first window took the second's handler away";
  // The test's own first argument names no settings file: nothing is shown.
  app.Idle();
  EXPECT_FALSE(app.HasIdleHandler());
  EXPECT_TRUE(boxes.Shown().empty());
  second.reset();

  form = std::make_unique<TFormMain>(96);
  EXPECT_TRUE(app.HasIdleHandler());
  form.reset();
  EXPECT_FALSE(app.HasIdleHandler()) << "a closed window left its handler behind";
}

TEST_F(SettingsCommandsTest, TheErrorReportsAddressComesFromTheMachinesPolicyOrTheBuildNeverFromASettingsFile) {
  // The current settings file names an address of its own: a file anyone can hand the tool.
  const std::wstring path = folder / L"crash.ini";
  WriteBytes(path, "[EXT]\r\nEXT=.abc\r\n\r\n[CRASH]\r\nURL=https://settings.example/r\r\n");
  dialogs.Then(path);
  form->ActionFileOpenExecute();
  ASSERT_EQ(form->SettingFileName(), path);

  constexpr wchar_t kPolicy[] = L"Software\\Policies\\Tavrelo";
  constexpr wchar_t kBuilt[] = L"https://build.example/r";
  struct Case {
    HKEY root;           // where a policy value is written; null for none
    DWORD type;
    const wchar_t* text;
    const wchar_t* builtIn;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {nullptr, REG_NONE, L"", kBuilt, kBuilt},
      {nullptr, REG_NONE, L"", L"", L""},
      {HKEY_LOCAL_MACHINE, REG_SZ, L"https://policy.example/r", kBuilt, L"https://policy.example/r"},
      {HKEY_LOCAL_MACHINE, REG_SZ, L"https://policy.example/r", L"", L"https://policy.example/r"},
      // An empty policy turns sending off, whatever the build says.
      {HKEY_LOCAL_MACHINE, REG_SZ, L"", kBuilt, L""},
      // Only a plain string is an address.
      {HKEY_LOCAL_MACHINE, REG_EXPAND_SZ, L"https://policy.example/r", kBuilt, kBuilt},
      {HKEY_LOCAL_MACHINE, REG_DWORD, L"1", kBuilt, kBuilt},
      // The user's own policy key is the user's to write: not the machine's word.
      {HKEY_CURRENT_USER, REG_SZ, L"https://user.example/r", kBuilt, kBuilt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)) + " " + std::to_string(c.type));
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) RegDeleteTreeW(root, kPolicy);
    if (c.root) testsupport::WriteValue(c.root, kPolicy, L"CrashReportUrl", c.type, c.text);
    EXPECT_EQ(CrashUploadUrl(c.builtIn), c.expected);
  }
  // Reading creates nothing.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicy);
  EXPECT_EQ(CrashUploadUrl(kBuilt), kBuilt);
  EXPECT_FALSE(testsupport::KeyExists(HKEY_LOCAL_MACHINE, kPolicy));
}

TEST_F(MainWindowTest, TheRealSettingsDialogsAddTheExtensionAndLeaveTheCurrentDirectoryAlone) {
  testsupport::TempFolder folder;
  CreateDirectoryW((folder / L"elsewhere").c_str(), nullptr);
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(folder.Path().c_str());
  auto currentDirectory = [] {
    wchar_t now[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, now);
    return std::wstring(now);
  };
  const std::wstring start = currentDirectory();
  Fill(L".abc", L"x.exe", L"", L"", L"0");
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  {
    testsupport::FileDialogDriver type(folder / L"elsewhere\\typed");
    form->ActionFileSaveAsExecute();
    EXPECT_TRUE(type.Wait());
  }
  {
    testsupport::FileDialogDriver type(folder / L"elsewhere\\named.ini");
    form->ActionFileSaveAsExecute();
    EXPECT_TRUE(type.Wait());
  }
  // The extension is added once, in whatever letter case the platform's dialog gives it.
  std::vector<std::wstring> saved = testsupport::FolderEntries(folder / L"elsewhere");
  for (std::wstring& name : saved) CharLowerW(name.data());
  EXPECT_EQ(saved, (std::vector<std::wstring>{L"named.ini", L"typed.ini"}));
  EXPECT_EQ(currentDirectory(), start);
  {
    testsupport::FileDialogDriver type(folder / L"elsewhere\\typed.INI");
    form->ActionFileOpenExecute();
    EXPECT_TRUE(type.Wait());
  }
  EXPECT_EQ(form->SettingFileName(), folder / L"elsewhere\\typed.INI");
  EXPECT_EQ(currentDirectory(), start);
  SetCurrentDirectoryW(previous);
}

}  // namespace
