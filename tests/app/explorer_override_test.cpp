// What Explorer really uses: the note after a read-back, and the offer after a register or
// delete to remove the per-user choice or per-user class record that overrides the classic
// records. The registry states are built in the sandbox, since Wine's shell ignores both.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "assoc/change_apply.h"
#include "assoc/change_engine.h"
#include "assoc/shell_assoc.h"
#include "assoc/user_override.h"
#include "ui/user_shell.h"
#include "ui/windows_chooser.h"

namespace {

using testsupport::KeyExists;
using testsupport::WriteValue;

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kUserClasses[] = L"Software\\Classes\\";

std::wstring Account() { return L"利用者「" + assoc::CurrentAccountName() + L"」"; }

class ExplorerOverrideTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_TRUE(sandbox.Ok());
    ASSERT_FALSE(assoc::CurrentAccountName().empty());
  }
  // A per-user choice of .tvr naming a viewer whose file type exists for the machine.
  void ChooseViewer() {
    WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice", L"ProgId", REG_SZ, L"Viewer.tvr");
    WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice", L"Hash", REG_SZ, L"q2x4=");
    WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\OpenWithProgids", L"Viewer.tvr", REG_SZ, L"");
    WriteValue(HKEY_CLASSES_ROOT, L"Viewer.tvr\\shell\\open\\command", L"", REG_SZ, L"\"C:\\Viewer\\v.exe\" \"%1\"");
  }
  // The warning sign is drawn: some pixel differs from the face colour.
  bool Signed() const {
    const ui::Picture& sign = form->ExplorerSign();
    for (int y = 0; y < sign.Height(); ++y)
      for (int x = 0; x < sign.Width(); ++x)
        if (sign.Pixel(x, y) != GetSysColor(COLOR_BTNFACE)) return true;
    return false;
  }
  bool ChoiceExists() const { return KeyExists(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice"); }
  // Registers .tvr from the fields, answering the usual question and its information.
  void Register() {
    Fill(L"tvr", L"\"C:\\Tools\\tvr.exe\" \"%1\"", L"", Shell32Path(), L"0");
    form->DoExtLink();
  }

  int notices_ = 0;
  common::Seam<void()>::Scope countNotices_ = assoc::NotifyAssocChanged.Replace([this] { ++notices_; });
  bool settingsOpen_ = true;
  std::vector<std::wstring> shellCalls_;
  common::Seam<bool(const std::wstring&)>::Scope recordShell_ =
      ui::UserShellSeam.Replace([this](const std::wstring& address) {
        shellCalls_.push_back(address);
        return settingsOpen_;
      });
};

TEST_F(ExplorerOverrideTest, ReadBackShowsTheNoteOnlyWhileExplorerDoesNotFollowTheRecords) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrfile");
  WriteValue(HKEY_CLASSES_ROOT, L"tvrfile\\Shell\\open\\command", L"", REG_SZ, L"C:\\Tools\\tvr.exe %1");
  form->EditExt.SetText(L"tvr");
  form->ActionExtReloadExecute();
  EXPECT_EQ(form->ExplorerNote(), L"");

  ChooseViewer();
  form->ActionExtReloadExecute();
  EXPECT_EQ(form->ExplorerNote(), L"利用者の選択：エクスプローラーはこの拡張子を「C:\\Viewer\\v.exe」で開きます。");
  EXPECT_TRUE(Signed());
  EXPECT_EQ(form->HintOf(form->Item(TFormMain::IDC_EXPLORER_NOTE)),
            L"エクスプローラーが実際に使うプログラムが、登録されている関連づけと異なることを示します。");

  // Typing another extension makes the note stale: it goes.
  form->EditExt.SetText(L"tvr2");
  EXPECT_EQ(form->ExplorerNote(), L"");
  EXPECT_FALSE(Signed());

  // A choice whose file type is gone, and a per-user class record.
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice", L"ProgId", REG_SZ, L"Gone.tvr");
  form->EditExt.SetText(L"tvr");
  form->ActionExtReloadExecute();
  EXPECT_EQ(form->ExplorerNote(), L"選択先なし：エクスプローラーはこの拡張子を開くとき、使うプログラムを利用者に尋ねます。");
  RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L".tvr").c_str());
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr", L"", REG_SZ, L"Viewer.tvr");
  form->ActionExtReloadExecute();
  EXPECT_EQ(form->ExplorerNote(), L"利用者のクラス：エクスプローラーはこの拡張子を「C:\\Viewer\\v.exe」で開きます。");

  form->NewSetting();
  EXPECT_EQ(form->ExplorerNote(), L"");
  EXPECT_FALSE(Signed());
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(ExplorerOverrideTest, RegisterOffersToRemoveTheChoiceAndRemovesExactlyIt) {
  ChooseViewer();
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr", L"", REG_SZ, L"tvrFile");

  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  Register();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[1].text, L"関連づけを登録しました。");
  EXPECT_EQ(shown[2].kind, ui::BoxKind::Confirmation);
  EXPECT_EQ(shown[2].buttons, ui::BoxButtons::YesNo);
  EXPECT_EQ(shown[2].text, Account() +
                               L"の設定では、エクスプローラーはこの拡張子を引き続き「C:\\Viewer\\v.exe」で開きます"
                               L"（利用者の選択）。\n利用者の選択を削除して、登録した関連づけが使われるようにしますか？");
  EXPECT_EQ(shown[3].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[3].text, L"利用者の選択を削除しました。");

  EXPECT_FALSE(ChoiceExists());
  // Only the choice went: the extension's other per-user records, and a per-user class record
  // that names what was registered, stay.
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\OpenWithProgids"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr"));
  EXPECT_EQ(notices_, 2) << "one for the registration, one for the removal";
  EXPECT_EQ(form->ExplorerNote(), L"");
}

TEST_F(ExplorerOverrideTest, AnsweringNoLeavesTheChoice) {
  ChooseViewer();
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrNo);
  Register();
  EXPECT_EQ(boxes.Take().size(), 3u);
  EXPECT_TRUE(ChoiceExists());
  EXPECT_EQ(notices_, 1);
  EXPECT_EQ(form->ExplorerNote(), L"利用者の選択：エクスプローラーはこの拡張子を「C:\\Viewer\\v.exe」で開きます。");
}

TEST_F(ExplorerOverrideTest, APerUserClassRecordIsRemovedOnlyWhenItOverrides) {
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr", L"", REG_SZ, L"Viewer.tvr");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L"Viewer.tvr\\shell\\open\\command", L"", REG_SZ,
             L"v.exe %1");
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  Register();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 4u);
  const std::wstring record = L"利用者のクラスの記録（HKEY_CURRENT_USER\\Software\\Classes\\.tvr）";
  EXPECT_EQ(shown[2].text, Account() +
                               L"の設定では、エクスプローラーはこの拡張子を引き続き「v.exe」で開きます（利用者のクラス）。\n" +
                               record + L"を削除して、登録した関連づけが使われるようにしますか？");
  EXPECT_EQ(shown[3].text, record + L"を削除しました。");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L"Viewer.tvr"));

  // Both a choice and a per-user class record that names something else: both go together.
  ChooseViewer();
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr", L"", REG_SZ, L"Other.tvr");
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  Register();
  shown = boxes.Take();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[3].text, L"利用者の選択と、" + record + L"を削除しました。");
  EXPECT_FALSE(ChoiceExists());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr"));
}

TEST_F(ExplorerOverrideTest, DeleteOffersToRemoveAChoiceThatStillOpensTheExtension) {
  WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
  ChooseViewer();
  form->EditExt.SetText(L"tvr");
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  form->DoExtUnlink();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[1].text, L"関連づけを削除しました。");
  EXPECT_EQ(shown[2].text, Account() +
                               L"の設定では、エクスプローラーはこの拡張子を引き続き「C:\\Viewer\\v.exe」で開きます"
                               L"（利用者の選択）。\n利用者の選択も削除しますか？");
  EXPECT_FALSE(ChoiceExists());
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".tvr"));
}

TEST_F(ExplorerOverrideTest, ARemovalWindowsRefusesAfterARegisterOffersWindowsOwnChooser) {
  ChooseViewer();
  // Windows refuses to remove a protected choice.
  std::vector<std::wstring> asked;
  auto refuse = assoc::WriteStep.Replace([&](const assoc::TChangeStep& step) {
    if (step.Key.find(L"\\UserChoice") == std::wstring::npos) return assoc::WriteStep.Real(step);
    asked.push_back(step.Key);
    return static_cast<LONG>(ERROR_ACCESS_DENIED);
  });
  std::vector<std::wstring> chooser;
  auto choose = ui::OpenWithDialogSeam.Replace([&](HWND, const std::wstring& extension) {
    chooser.push_back(extension);
    return S_OK;
  });

  for (int answer : {ui::mrNo, ui::mrYes}) {
    boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(answer);
    Register();
    auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[3].kind, ui::BoxKind::Information);
    EXPECT_EQ(shown[3].buttons, ui::BoxButtons::YesNo);
    EXPECT_EQ(shown[3].text, assoc::WindowsChoiceQuestion(L".tvr"));
  }
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::wstring(L"HKEY_CURRENT_USER\\") + kFileExts + L".tvr\\UserChoice");
  EXPECT_EQ(chooser, std::vector<std::wstring>{L".tvr"}) << "only はい opens Windows' chooser";
  EXPECT_TRUE(shellCalls_.empty());
  // The program is offered in Windows' list; the registration stands, and so does the choice.
  EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, L".tvr\\OpenWithProgids", L"tvrFile").type, REG_NONE);
  EXPECT_EQ(testsupport::ReadValue(HKEY_CLASSES_ROOT, L".tvr").text, L"tvrFile");
  EXPECT_TRUE(ChoiceExists());
}

TEST_F(ExplorerOverrideTest, ARemovalWindowsRefusesAfterADeleteOffersWindowsOwnSettingsOrSaysWhereToChoose) {
  ChooseViewer();
  auto refuse = assoc::WriteStep.Replace([&](const assoc::TChangeStep& step) {
    return step.Key.find(L"\\UserChoice") == std::wstring::npos ? assoc::WriteStep.Real(step)
                                                                  : static_cast<LONG>(ERROR_ACCESS_DENIED);
  });
  const std::wstring refused =
      L"利用者の選択を削除できませんでした。Windows がこの拡張子の選択を保護しているため、このソフトウェアからは"
      L"変更できません。\nWindows の「既定のアプリ」の設定を開きますか？";
  // The user's desktop shell opens the settings, or (as under Wine) does not.
  for (bool opens : {true, false}) {
    SCOPED_TRACE(opens);
    settingsOpen_ = opens;
    shellCalls_.clear();
    WriteValue(HKEY_CLASSES_ROOT, L".tvr", L"", REG_SZ, L"tvrFile");
    form->EditExt.SetText(L"tvr");
    boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrYes);
    if (!opens) boxes.Then(ui::mrOk);
    form->DoExtUnlink();
    auto shown = boxes.Take();
    ASSERT_EQ(shown.size(), opens ? 4u : 5u);
    EXPECT_EQ(shown[3].kind, ui::BoxKind::Warning);
    EXPECT_EQ(shown[3].text, refused);
    EXPECT_EQ(shellCalls_, std::vector<std::wstring>{L"ms-settings:defaultapps"});
    if (!opens) {
      EXPECT_EQ(shown[4].kind, ui::BoxKind::Warning);
      EXPECT_EQ(shown[4].text, L"Windows の選択画面を開けませんでした。Windows の「設定」の「アプリ」→「既定のアプリ」で、"
                               L"拡張子「.tvr」を開くアプリを選んで下さい。");
    }
    EXPECT_TRUE(ChoiceExists());
  }
}

TEST_F(ExplorerOverrideTest, AnotherFailureIsReportedWithTheSystemsText) {
  ChooseViewer();
  auto fail = assoc::WriteStep.Replace([](const assoc::TChangeStep& step) {
    return step.Key.find(L"\\UserChoice") == std::wstring::npos ? assoc::WriteStep.Real(step)
                                                                  : static_cast<LONG>(ERROR_WRITE_FAULT);
  });
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  Register();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[3].kind, ui::BoxKind::Warning);
  EXPECT_EQ(shown[3].text.rfind(L"利用者の選択を削除できませんでした。\n", 0), 0u) << testing::PrintToString(shown[3].text);
  EXPECT_GT(shown[3].text.size(), std::wstring(L"利用者の選択を削除できませんでした。\n").size());
  EXPECT_EQ(notices_, 1);
}

TEST_F(ExplorerOverrideTest, TheBatchTaskAsksTheSameQuestions) {
  ChooseViewer();
  Fill(L"tvr", L"C:\\Tools\\tvr.exe %1", L"", Shell32Path(), L"0");
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrYes).Then(ui::mrOk);
  form->RunTask(1, 0);
  EXPECT_EQ(boxes.Take().size(), 4u);
  EXPECT_FALSE(ChoiceExists());

  ChooseViewer();
  boxes.Then(ui::mrYes).Then(ui::mrOk).Then(ui::mrNo);
  form->RunTask(2, 0);
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].text.substr(shown[2].text.size() - 14), L"利用者の選択も削除しますか？");
  EXPECT_TRUE(ChoiceExists());
}

TEST_F(ExplorerOverrideTest, TheRealQuestionHasYesAndNoOnly) {
  ChooseViewer();
  // The usual question and its information come through the script; the offer is the real box.
  auto real = ui::MessageBoxSeam.Replace([](const ui::BoxRequest& request) {
    if (request.buttons == ui::BoxButtons::YesNo) return ui::ShowRealMessageBox(request);
    return request.kind == ui::BoxKind::Confirmation ? static_cast<int>(ui::mrYes) : static_cast<int>(ui::mrOk);
  });
  testsupport::DialogDriver driver(IDNO);
  Register();
  const testsupport::DialogView& view = driver.Wait();
  ASSERT_TRUE(view.hwnd);
  EXPECT_EQ(view.caption, L"確認");
  std::vector<std::wstring> captions;
  for (const auto& b : view.buttons) captions.push_back(b.caption);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"はい(&Y)", L"いいえ(&N)"}));
  ASSERT_FALSE(view.texts.empty());
  EXPECT_NE(view.texts.back().find(L"利用者の選択を削除して"), std::wstring::npos);
  EXPECT_TRUE(ChoiceExists());
}

class RemoveUserOverrideTest : public testing::Test {
 protected:
  testsupport::RegistrySandbox sandbox_;
};

void Remove(const std::wstring& extension, assoc::UserOverride what) {
  assoc::ApplyPlan(assoc::PlanRemoveUserOverride(extension, what));
}

TEST_F(RemoveUserOverrideTest, RemovesExactlyTheNamedKeys) {
  const std::wstring ext = std::wstring(kFileExts) + L".tvr";
  WriteValue(HKEY_CURRENT_USER, ext + L"\\UserChoice", L"ProgId", REG_SZ, L"a");
  WriteValue(HKEY_CURRENT_USER, ext + L"\\UserChoiceLatest\\ProgId", L"ProgId", REG_SZ, L"a");
  WriteValue(HKEY_CURRENT_USER, ext + L"\\OpenWithList", L"a", REG_SZ, L"x.exe");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr\\shellex", L"", REG_SZ, L"");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr2", L"", REG_SZ, L"b");

  Remove(L".tvr", {true, false});
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ext + L"\\UserChoice"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ext + L"\\UserChoiceLatest"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ext + L"\\OpenWithList"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr"));

  Remove(L".tvr", {false, true});
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L".tvr2"));

  // Nothing left to remove plans nothing.
  EXPECT_TRUE(assoc::PlanRemoveUserOverride(L".tvr", {true, true}).Steps.empty());
  EXPECT_TRUE(assoc::PlanRemoveUserOverride(L".none", {true, true}).Steps.empty());
}

TEST_F(RemoveUserOverrideTest, PlansNothingForExtensionsThatNameOtherKeys) {
  WriteValue(HKEY_CURRENT_USER, std::wstring(kFileExts) + L".tvr\\UserChoice", L"ProgId", REG_SZ, L"a");
  WriteValue(HKEY_CURRENT_USER, std::wstring(kUserClasses) + L"tvr", L"", REG_SZ, L"b");
  for (const std::wstring& extension : {std::wstring(), std::wstring(L"."), std::wstring(L"tvr"),
                                        std::wstring(L".tvr\\UserChoice"), std::wstring(L".\0", 2)})
    EXPECT_TRUE(assoc::PlanRemoveUserOverride(extension, {true, true}).Steps.empty())
        << testing::PrintToString(extension);
}

}  // namespace
