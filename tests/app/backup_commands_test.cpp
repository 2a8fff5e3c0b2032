// The main window's changes back up first and can be undone: register, delete and removing a
// per-user choice each leave a backup that 元に戻す restores; a backup that cannot be written
// stops the change; extensions that start programs are warned about; a backup file restores
// from the dialog.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "assoc/assoc_texts.h"
#include "assoc/shell_assoc.h"
#include "resource.h"

namespace {

using testsupport::KeyExists;
using testsupport::Snapshot;
using testsupport::WriteValue;

constexpr wchar_t kFileExtsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

class BackupCommandsTest : public MainWindowTest {
 protected:
  std::wstring Folder() const { return appData.Path() + L"\\Tavrelo\\Backups"; }
  std::vector<std::wstring> Backups() const { return testsupport::FolderEntries(Folder()); }
  // The association records: the classes root, and the user's classes and Explorer records.
  std::vector<std::wstring> Associations() const {
    auto lines = Snapshot(HKEY_CLASSES_ROOT);
    for (const wchar_t* path : {L"Software\\Classes", kFileExtsKey}) {
      common::UniqueHKey key;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) continue;
      auto user = Snapshot(key.get());
      lines.insert(lines.end(), user.begin(), user.end());
    }
    return lines;
  }
  // The whole redirected registry.
  std::vector<std::wstring> Registry() const {
    auto lines = Snapshot(sandbox.Machine());
    auto user = Snapshot(sandbox.User());
    lines.insert(lines.end(), user.begin(), user.end());
    return lines;
  }
  void Register(const std::wstring& extension) {
    Fill(extension, L"\"C:\\Tools\\t.exe\" \"%1\"", L"", Shell32Path(), L"0");
    form->DoExtLink();
  }
  // Answers the undo question with answer, then the outcome.
  void Undo(int answer = ui::mrYes) {
    boxes.Then(answer);
    if (answer == ui::mrYes) boxes.Then(ui::mrOk);
    form->ActionFileUndoExecute();
  }

  common::Seam<void()>::Scope quiet_ = assoc::NotifyAssocChanged.Replace([] {});
};

TEST_F(BackupCommandsTest, EachChangeBacksUpFirstAndUndoBringsBackTheRegistry) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"old.tvr");
  WriteValue(HKEY_CLASSES_ROOT, L"old.tvr\\shell\\open\\command", L"", REG_SZ, L"old.exe %1");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice", L"ProgId", REG_SZ, L"old.tvr2");
  WriteValue(HKEY_CLASSES_ROOT, L"old.tvr2\\shell\\open\\command", L"", REG_SZ, L"old2.exe %1");
  const auto original = Registry();

  // Register, and remove the choice that overrides it: two backups, each before its change.
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  ASSERT_EQ(boxes.Take().size(), 4u);
  const auto registered = Registry();
  ASSERT_NE(registered, original);
  auto files = Backups();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_NE(files[0].find(L" .tvr 登録.reg"), std::wstring::npos) << testing::PrintToString(files[0]);
  EXPECT_NE(files[1].find(L" .tvr 利用者の選択の削除.reg"), std::wstring::npos) << testing::PrintToString(files[1]);

  // Undo names what it undoes, and brings back the choice...
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileUndoExecute();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Confirmation);
  EXPECT_EQ(shown[0].text, assoc::texts::UndoQuestion(*assoc::ParseBackupFileName(files[1])));
  EXPECT_NE(shown[0].text.find(L"「.tvr」の利用者の選択の削除"), std::wstring::npos) << testing::PrintToString(shown[0].text);
  EXPECT_EQ(shown[1].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[1].text, assoc::texts::kRestored);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice"));

  const auto beforeRemoval = Registry();

  // A restore backs up too, so the next undo undoes the undo.
  Undo();
  boxes.Take();
  EXPECT_EQ(Registry(), registered);

  // The registration's backup, restored from the dialog, brings back the registry as it was.
  testsupport::FileDialogScript dialogs;
  dialogs.Then(Folder() + L"\\" + files[0]);
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileRestoreExecute();
  boxes.Take();
  EXPECT_EQ(Registry(), original);
  EXPECT_NE(beforeRemoval, original);

  // Delete backs up as well.
  form->EditExt.SetText(L"tvr");
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrNo);
  form->DoExtUnlink();
  ASSERT_EQ(boxes.Take().size(), 3u);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  files = Backups();
  EXPECT_NE(files.back().find(L" .tvr 削除.reg"), std::wstring::npos) << testing::PrintToString(files.back());
  Undo();
  boxes.Take();
  EXPECT_EQ(Registry(), original);
}

TEST_F(BackupCommandsTest, ABackupThatCannotBeWrittenStopsTheChangeBeforeAnythingIsWritten) {
  // A file where the folder would go.
  const std::wstring blocker = testsupport::Written(appData / L"Tavrelo", "not a folder");
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrfile");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice", L"ProgId", REG_SZ, L"x.tvr");
  const auto before = Registry();
  int notices = 0;
  auto count = assoc::NotifyAssocChanged.Replace([&] { ++notices; });

  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  form->EditExt.SetText(L"tvr");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtUnlink();
  for (const auto& box : boxes.Take()) {
    if (box.kind == ui::BoxKind::Confirmation) continue;
    EXPECT_EQ(box.kind, ui::BoxKind::Warning);
    EXPECT_EQ(box.text.rfind(L"バックアップを保存できませんでした。変更は行いません。", 0), 0u)
        << testing::PrintToString(box.text);
  }
  EXPECT_EQ(Registry(), before);
  EXPECT_EQ(notices, 0);
}

TEST_F(BackupCommandsTest, ExtensionsThatStartProgramsAreWarnedAboutWithNoAsTheDefault) {
  for (const wchar_t* extension : {L"exe", L".LNK", L"Bat"}) {
    Fill(extension, L"C:\\x.exe %1", L"", Shell32Path(), L"0");
    boxes.Then(ui::mrNo);
    form->DoExtLink();
    auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
    EXPECT_EQ(shown[0].buttons, ui::BoxButtons::YesNo);
    EXPECT_TRUE(shown[0].defaultNo);
    EXPECT_EQ(shown[0].text, assoc::texts::ProgramExtensionWarning(form->GetExtention()));
  }
  EXPECT_EQ(testsupport::SubKeyCount(HKEY_CLASSES_ROOT, L""), 0);

  // Yes goes on to the usual question; the batch task asks the same.
  Fill(L"exe", L"C:\\x.exe %1", L"", Shell32Path(), L"0");
  boxes.Then(ui::mrYes).Then(ui::mrNo);
  form->RunTask(1, 0);
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
  EXPECT_EQ(shown[1].text, L"拡張子「.exe」の関連づけを登録します。\nよろしいですか？");

  // Other extensions are not warned about.
  Fill(L"exe2", L"C:\\x.exe %1", L"", Shell32Path(), L"0");
  boxes.Then(ui::mrNo);
  form->DoExtLink();
  EXPECT_EQ(boxes.Take().at(0).kind, ui::BoxKind::Confirmation);
}

TEST_F(BackupCommandsTest, DeleteSaysWhichFileTypeItKeptAndWhy) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L".log", L"", REG_SZ, L"txtfile");
  WriteValue(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", L"", REG_SZ, L"notepad.exe %1");
  form->EditExt.SetText(L"tvr");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtUnlink();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[1].text.rfind(L"関連づけを削除しました。\n", 0), 0u) << testing::PrintToString(shown[1].text);
  EXPECT_NE(shown[1].text.find(L"txtfile"), std::wstring::npos);
  EXPECT_NE(shown[1].text.find(L".log"), std::wstring::npos);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command"));
}

TEST_F(BackupCommandsTest, UndoWithoutABackupSaysSo) {
  boxes.Then(ui::mrOk);
  form->ActionFileUndoExecute();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[0].text, assoc::texts::kNothingToUndo);

  // Answering No to the question restores nothing.
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  boxes.Take();
  const auto registered = Registry();
  Undo(ui::mrNo);
  EXPECT_EQ(boxes.Take().size(), 1u);
  EXPECT_EQ(Registry(), registered);
}

TEST_F(BackupCommandsTest, RestoreOpensInTheBackupsFolderAndRefusesForeignKeys) {
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  boxes.Take();
  const std::wstring backup = Folder() + L"\\" + Backups().at(0);

  testsupport::FileDialogScript dialogs;
  dialogs.Then(backup);
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileRestoreExecute();
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(dialogs.Shown()[0].initialDir, Folder());
  EXPECT_FALSE(dialogs.Shown()[0].save);
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, L"「" + Backups().at(0) + L"」の内容で関連づけを復元します。\nよろしいですか？");
  EXPECT_EQ(shown[1].text, assoc::texts::kRestored);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));

  // A file that names a key outside the association records is refused, naming its line.
  const std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\.tvr]\r\n@=\"x\"\r\n\r\n"
                            L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"x\"=\"evil.exe\"\r\n";
  const std::wstring foreign = testsupport::Written(
      appData / L"foreign.reg", std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  const auto before = Registry();
  dialogs.Then(foreign);
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileRestoreExecute();
  shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].kind, ui::BoxKind::Warning);
  EXPECT_NE(shown[1].text.find(L"6行目"), std::wstring::npos) << testing::PrintToString(shown[1].text);
  EXPECT_EQ(Registry(), before);

  // Cancelling the dialog or the question restores nothing.
  dialogs.Then(std::nullopt);
  form->ActionFileRestoreExecute();
  dialogs.Then(backup);
  boxes.Then(ui::mrNo);
  form->ActionFileRestoreExecute();
  EXPECT_EQ(boxes.Take().size(), 1u);
  EXPECT_EQ(Registry(), before);
}

TEST_F(BackupCommandsTest, CtrlZUndoesTypingInAFieldFirst) {
  // Ctrl+Z as the message loop sees it, with Ctrl held.
  auto ctrlZ = [&](HWND target) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE saved = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG msg{target, WM_KEYDOWN, 'Z', 0};
    const bool consumed = form->PreTranslateMessage(msg);
    keys[VK_CONTROL] = saved;
    SetKeyboardState(keys);
    ui::ProcessMessages();
    return consumed;
  };
  SendMessageW(form->EditCommand.Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"typed"));
  EXPECT_FALSE(ctrlZ(form->EditCommand.Handle())) << "the field undoes its typing";
  EXPECT_TRUE(boxes.Shown().empty());

  // With nothing to undo in the field, or from a button, it is the registry's undo.
  SendMessageW(form->EditCommand.Handle(), EM_EMPTYUNDOBUFFER, 0, 0);
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  EXPECT_TRUE(ctrlZ(form->EditCommand.Handle()));
  EXPECT_TRUE(ctrlZ(form->Item(TFormMain::IDC_BITBTN1)));
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, assoc::texts::kNothingToUndo);
}

TEST_F(BackupCommandsTest, UndoAndRestoreThroughTheMenuWithTheRealBoxesAndDialog) {
  const auto before = Associations();
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  boxes.Take();
  const auto registered = Associations();
  const std::wstring backup = Backups().at(0);

  // From here on the boxes are the real ones, worked from another thread. The real file dialog
  // keeps records of its own in the user's keys, so only the association records are compared.
  auto real = ui::MessageBoxSeam.Replace([](const ui::BoxRequest& r) { return ui::ShowRealMessageBox(r); });
  {
    testsupport::DialogSequence user({{IDYES, {}}, {IDOK, {}}});
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDM_FILE_UNDO, 0), 0);
    const auto& seen = user.Wait();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, L"確認");
    ASSERT_FALSE(seen[0].texts.empty());
    EXPECT_EQ(seen[0].texts.back(), assoc::texts::UndoQuestion(*assoc::ParseBackupFileName(backup)));
    EXPECT_EQ(seen[1].caption, L"情報");
    ASSERT_FALSE(seen[1].texts.empty());
    EXPECT_EQ(seen[1].texts.back(), assoc::texts::kRestored);
  }
  EXPECT_EQ(Associations(), before);

  {
    testsupport::DialogSequence user({{IDOK, Folder() + L"\\" + backup}, {IDYES, {}}, {IDOK, {}}});
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDM_FILE_RESTORE, 0), 0);
    const auto& seen = user.Wait();
    ASSERT_EQ(seen.size(), 3u);
    ASSERT_FALSE(seen[1].texts.empty());
    EXPECT_EQ(seen[1].texts.back(), L"「" + backup + L"」の内容で関連づけを復元します。\nよろしいですか？");
    EXPECT_TRUE(seen[2].answered);
  }
  // The registration's backup holds the registry as it was before the registration.
  EXPECT_EQ(Associations(), before);
  EXPECT_NE(registered, before);
}

TEST_F(BackupCommandsTest, TheRealWarningBeforeAProgramExtensionAnswersNoToEnter) {
  std::vector<int> answers;
  // Only the warning is the real box; anything after it would be declined.
  auto real = ui::MessageBoxSeam.Replace([&](const ui::BoxRequest& r) {
    answers.push_back(answers.empty() ? ui::ShowRealMessageBox(r) : static_cast<int>(ui::mrCancel));
    return answers.back();
  });
  testsupport::DialogView view;
  bool gone = false;
  testsupport::WindowDriver user(testsupport::IsDialogOfThisProcess, [&](HWND box) {
    view = testsupport::ReadDialog(box);
    // Enter, where the box has put the focus.
    GUITHREADINFO info{sizeof info};
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
    PostMessageW(info.hwndFocus, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(info.hwndFocus, WM_KEYUP, VK_RETURN, 0);
    for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(20);
    gone = !IsWindow(box);
  });
  Fill(L"exe", L"C:\\x.exe %1", L"", Shell32Path(), L"0");
  form->DoExtLink();
  ASSERT_TRUE(user.Wait());
  EXPECT_TRUE(gone);
  EXPECT_EQ(view.caption, L"警告");
  std::vector<std::wstring> captions;
  for (const auto& b : view.buttons) captions.push_back(b.caption);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"はい(&Y)", L"いいえ(&N)"}));
  EXPECT_EQ(answers, std::vector<int>{IDNO}) << "Enter says No, and nothing more is asked";
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".exe"));
}

}  // namespace
