// The main window's changes go through the change engine: each is backed up and recorded, 元に戻す
// and やり直し step through the history one change at a time, a per-user choice is never written
// back, a backup that cannot be written stops the change, extensions that start programs are
// warned about, and a registry file restores from the dialog after a preview.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "assoc/assoc_texts.h"
#include "assoc/backup_store.h"
#include "assoc/change_history.h"
#include "assoc/user_override.h"
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
  std::wstring Folder() const { return assoc::BackupFolder(); }
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
  // Answers the undo (or redo) preview with answer, then the outcome, and forgets the boxes.
  void Undo(int answer = ui::mrYes) {
    boxes.Then(answer);
    if (answer == ui::mrYes) boxes.Then(ui::mrOk);
    form->ActionFileUndoExecute();
    boxes.Take();
  }
  void Redo() {
    boxes.Then(ui::mrYes).Then(ui::mrOk);
    form->ActionFileRedoExecute();
    boxes.Take();
  }
  // The last write time of HKEY_CURRENT_USER\path.
  static ULONGLONG WriteTime(const std::wstring& path) {
    common::UniqueHKey key;
    FILETIME time{};
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, &time);
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  }

  common::Seam<void()>::Scope quiet_ = assoc::NotifyAssocChanged.Replace([] {});
};

TEST_F(BackupCommandsTest, UndoAndRedoStepThroughTheChangesOneAtATime) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"old.tvr");
  WriteValue(HKEY_CLASSES_ROOT, L"old.tvr\\shell\\open\\command", L"", REG_SZ, L"old.exe %1");
  const auto original = Registry();
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  ASSERT_EQ(boxes.Take().size(), 2u);
  const auto registered = Registry();
  form->EditExt.SetText(L"tvr");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtUnlink();
  ASSERT_EQ(boxes.Take().size(), 2u);
  const auto deleted = Registry();
  ASSERT_NE(registered, original);
  ASSERT_NE(deleted, registered);

  // The history names both changes; its files are the only backups undo takes.
  const assoc::THistory history = assoc::ReadHistory();
  ASSERT_EQ(history.Entries.size(), 2u);
  EXPECT_EQ(history.Position, 2u);
  EXPECT_EQ(history.Entries[0].Operation, assoc::TChangeOperation::Link);
  EXPECT_EQ(history.Entries[1].Operation, assoc::TChangeOperation::Unlink);
  EXPECT_EQ(history.Entries[1].Subject, L".tvr");

  // Undo names the change it undoes, previews it and goes back one change per press.
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileUndoExecute();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, assoc::texts::UndoQuestion(history.Entries[1]));
  EXPECT_NE(shown[0].text.find(L"拡張子「.tvr」の削除を元に戻します。"), std::wstring::npos);
  EXPECT_EQ(shown[1].text, assoc::texts::kUndone);
  ASSERT_FALSE(boxes.Previews().empty());
  EXPECT_NE(boxes.Previews().back().summary.find(L"追加"), std::wstring::npos);
  EXPECT_EQ(Registry(), registered);
  Undo();
  EXPECT_EQ(Registry(), original);
  boxes.Then(ui::mrOk);
  form->ActionFileUndoExecute();
  EXPECT_EQ(boxes.Take().at(0).text, assoc::texts::kNothingToUndo);

  // Redo goes forward again the same way.
  Redo();
  EXPECT_EQ(Registry(), registered);
  Redo();
  EXPECT_EQ(Registry(), deleted);
  boxes.Then(ui::mrOk);
  form->ActionFileRedoExecute();
  EXPECT_EQ(boxes.Take().at(0).text, assoc::texts::kNothingToRedo);

  // A new change after an undo drops what could have been redone.
  Undo();
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"abc");
  boxes.Take();
  boxes.Then(ui::mrOk);
  form->ActionFileRedoExecute();
  EXPECT_EQ(boxes.Take().at(0).text, assoc::texts::kNothingToRedo);
  EXPECT_EQ(assoc::ReadHistory().Entries.size(), 2u);
}

TEST_F(BackupCommandsTest, UndoLeavesTheUsersChoiceAloneAndSaysWhenItCannotComeBack) {
  const std::wstring choice = std::wstring(kFileExts) + L".tvr\\UserChoice";
  const std::wstring openWith = std::wstring(kFileExts) + L".tvr\\OpenWithProgids";
  WriteValue(HKEY_CURRENT_USER, choice, L"ProgId", REG_SZ, L"tvrFile");
  WriteValue(HKEY_CURRENT_USER, choice, L"Hash", REG_SZ, L"bound to this key's time");
  WriteValue(HKEY_CURRENT_USER, openWith, L"tvrFile", REG_NONE, L"");
  const ULONGLONG choiceTime = WriteTime(choice), openWithTime = WriteTime(openWith);
  ASSERT_NE(choiceTime, 0u);
  Sleep(20);

  // A register and its undo never rewrite the user's records.
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  ASSERT_EQ(boxes.Take().size(), 2u) << "the choice names the registered file type: nothing to offer";
  Undo();
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  EXPECT_EQ(WriteTime(choice), choiceTime);
  EXPECT_EQ(WriteTime(openWith), openWithTime);
  EXPECT_EQ(testsupport::ReadValue(HKEY_CURRENT_USER, choice, L"Hash").text, L"bound to this key's time");

  // Removing the choice can be undone only in part: the question says so, and the choice stays gone.
  WriteValue(HKEY_CURRENT_USER, choice, L"ProgId", REG_SZ, L"other");
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  ASSERT_EQ(boxes.Take().size(), 4u);
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, choice));
  // After the undo, Windows' chooser is offered for the choice.
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrNo);
  form->ActionFileUndoExecute();
  const auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_NE(shown[0].text.find(L"Windows でしか設定し直せません"), std::wstring::npos)
      << testing::PrintToString(shown[0].text);
  EXPECT_EQ(shown[2].text, assoc::ChooseAgainQuestion(L".tvr"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, choice));
  Undo();
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
}

TEST_F(BackupCommandsTest, UndoAndRestoreReadTheFieldsBackSoThatRegisterDoesNotWriteTheOldValues) {
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Fill(L"tvr", L"first.exe %1", L"", Shell32Path(), L"0");
  form->DoExtLink();
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Fill(L"tvr", L"second.exe %1", L"", Shell32Path(), L"0");
  form->DoExtLink();
  boxes.Take();
  Undo();
  EXPECT_EQ(form->EditCommand.Text(), L"first.exe %1");
}

TEST_F(BackupCommandsTest, RegisterTakesTheFieldsBeforeItsQuestionsAndOwnedWindowsWait) {
  form->ActionAssocListExecute();
  HWND list = nullptr;
  for (HWND w = GetWindow(form->Handle(), GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
    if (GetWindow(w, GW_OWNER) == form->Handle()) list = w;
  ASSERT_TRUE(list);
  Fill(L"aaa", L"a.exe %1", L"", Shell32Path(), L"0");
  bool listEnabled = true;
  // While the question is up, the list cannot take input; whatever changes the fields then does
  // not change what is registered.
  auto meddle = ui::MessageBoxSeam.Replace([&](const ui::BoxRequest& request) {
    if (request.kind != ui::BoxKind::Confirmation) return static_cast<int>(ui::mrOk);
    listEnabled = IsWindowEnabled(list);
    Fill(L"bbb", L"b.exe %1", L"", Shell32Path(), L"0");
    return static_cast<int>(ui::mrYes);
  });
  form->DoExtLink();
  EXPECT_FALSE(listEnabled);
  EXPECT_TRUE(IsWindowEnabled(list));
  EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, L"aaaFile\\Shell\\open\\command").text, L"a.exe %1");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".bbb"));
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
  boxes.Then(ui::mrNo);
  form->ActionFileUndoExecute();
  EXPECT_EQ(boxes.Take().size(), 1u);
  EXPECT_EQ(Registry(), registered);
}

TEST_F(BackupCommandsTest, RestoreOpensInTheBackupsFolderAndRefusesForeignKeys) {
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  Register(L"tvr");
  boxes.Take();
  const std::wstring undoFile = assoc::ReadHistory().Entries.at(0).UndoFile;
  const std::wstring backup = Folder() + L"\\" + undoFile;

  testsupport::FileDialogScript dialogs;
  dialogs.Then(backup);
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  form->ActionFileRestoreExecute();
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(dialogs.Shown()[0].initialDir, Folder());
  EXPECT_FALSE(dialogs.Shown()[0].save);
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, L"「" + undoFile + L"」の内容で関連づけを復元します。\nよろしいですか？");
  EXPECT_EQ(shown[1].text, assoc::texts::kRestored);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));

  // A file that names a key outside the association records is refused before any question,
  // naming the key and why.
  const std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\.tvr]\r\n@=\"x\"\r\n\r\n"
                            L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"x\"=\"evil.exe\"\r\n";
  const std::wstring foreign = testsupport::Written(
      appData / L"foreign.reg", std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  const auto before = Registry();
  dialogs.Then(foreign);
  boxes.Then(ui::mrOk);
  form->ActionFileRestoreExecute();
  shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
  EXPECT_EQ(shown[0].text,
            assoc::texts::CannotRestore(
                L"foreign.reg",
                assoc::texts::LineFault(
                    6, assoc::texts::KeyRefused(L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                                assoc::texts::kPolicyOutside))));
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

TEST_F(BackupCommandsTest, UndoRedoAndRestoreThroughTheMenuWithTheRealDialogs) {
  std::vector<std::vector<std::wstring>> states{Associations()};
  for (const wchar_t* extension : {L"tvr", L"abc", L"def"}) {
    boxes.Then(ui::mrYes).Then(ui::mrOk);
    Register(extension);
    boxes.Take();
    states.push_back(Associations());
  }
  const assoc::THistory history = assoc::ReadHistory();
  ASSERT_EQ(history.Entries.size(), 3u);

  // From here on the previews and boxes are the real ones, worked from another thread. The real
  // file dialog keeps records of its own in the user's keys, so only the association records are
  // compared.
  auto real = ui::MessageBoxSeam.Replace([](const ui::BoxRequest& r) { return ui::ShowRealMessageBox(r); });
  auto realPreview = ui::PreviewSeam.Replace([](const ui::PreviewRequest& r) { return ui::ShowRealPreview(r); });
  auto step = [&](int command, const std::wstring& question, const wchar_t* done) {
    testsupport::DialogSequence user({{IDYES, {}}, {IDOK, {}}});
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
    const auto& seen = user.Wait();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, assoc::texts::kPreviewTitle);
    std::vector<std::wstring> captions;
    for (const auto& b : seen[0].buttons) captions.push_back(b.caption);
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"はい(&Y)", L"いいえ(&N)"}));
    ASSERT_FALSE(seen[0].texts.empty());
    EXPECT_EQ(seen[0].texts.front(), question);
    EXPECT_EQ(seen[1].caption, L"情報");
    ASSERT_FALSE(seen[1].texts.empty());
    EXPECT_EQ(seen[1].texts.back(), done);
  };
  for (size_t undone = 0; undone < 3; ++undone) {
    step(IDM_FILE_UNDO, assoc::texts::UndoQuestion(history.Entries[2 - undone]), assoc::texts::kUndone);
    EXPECT_EQ(Associations(), states[2 - undone]);
  }
  for (size_t redone = 0; redone < 2; ++redone) {
    step(IDM_FILE_REDO, assoc::texts::RedoQuestion(history.Entries[redone]), assoc::texts::kRedone);
    EXPECT_EQ(Associations(), states[redone + 1]);
  }

  // The first registration's backup, restored from the dialog, takes back that registration.
  const std::wstring backup = history.Entries[0].UndoFile;
  {
    testsupport::DialogSequence user({{IDOK, Folder() + L"\\" + backup}, {IDYES, {}}, {IDOK, {}}});
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDM_FILE_RESTORE, 0), 0);
    const auto& seen = user.Wait();
    ASSERT_EQ(seen.size(), 3u);
    ASSERT_FALSE(seen[1].texts.empty());
    EXPECT_EQ(seen[1].texts.front(), L"「" + backup + L"」の内容で関連づけを復元します。\nよろしいですか？");
    EXPECT_TRUE(seen[2].answered);
  }
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".abc"));
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
