// Icon and program selection from the main window, through the real picker and the real
// file dialogs, worked from another thread as a user would.
#include "picker_fixture.h"

namespace {

class PickIconTest : public testing::Test {
 protected:
  void SetUp() override {
    ui::Application::Instance().SetTitle(kApplicationTitle);
    form = std::make_unique<TFormMain>(96);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    ui::ProcessMessages();
  }
  bool PreviewIsWhite() const { return testsupport::IsAllWhite(form->ImageIcon()); }
  // The picker, once it shows: runs act on its window from another thread.
  static testsupport::WindowDriver OnPicker(std::function<void(HWND)> act) {
    return testsupport::WindowDriver(testsupport::WindowCaptioned(L"アイコン選択"), std::move(act));
  }
  static HWND ListOf(HWND picker) { return GetDlgItem(picker, TFormIconList::IDC_LISTVIEW_ICON); }

  testsupport::RegistrySandbox sandbox;
  testsupport::BoxScript boxes;
  std::unique_ptr<TFormMain> form;
};

TEST_F(PickIconTest, OkTakesTheChosenFileAndIndexIntoTheFieldsAndPreview) {
  form->EditExt.SetText(L"txt");
  form->EditCommand.SetText(L"cmd");
  form->EditFileType.SetText(L"desc");
  form->EditIconFile.SetText(TestData(L"icons3.dll"));
  form->EditIconIndex.SetText(L"1");
  std::vector<int> preselected;
  auto driver = OnPicker([&](HWND picker) {
    HWND list = ListOf(picker);
    preselected.push_back(ListView_GetNextItem(list, -1, LVNI_SELECTED));
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
    PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  form->ActionIconSelectExecute();
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(preselected, std::vector<int>{1});
  EXPECT_EQ(form->EditIconFile.Text(), TestData(L"icons3.dll"));
  EXPECT_EQ(form->EditIconIndex.Text(), L"2");
  EXPECT_FALSE(PreviewIsWhite());
  EXPECT_EQ(form->EditExt.Text(), L"txt");
  EXPECT_EQ(form->EditCommand.Text(), L"cmd");
  EXPECT_EQ(form->EditFileType.Text(), L"desc");
  // The picker is gone with the command.
  EXPECT_FALSE(FindWindowW(nullptr, L"アイコン選択"));
}

TEST_F(PickIconTest, CancelKeepsTheIconFieldsEvenAfterBrowsing) {
  form->EditIconFile.SetText(SystemShell32());
  form->EditIconIndex.SetText(L"3");
  form->DrawIconPreview(SystemShell32(), 3);
  testsupport::FileDialogScript dialogs;
  dialogs.Then(TestData(L"icons3.dll"));
  auto driver = OnPicker([](HWND picker) {
    SendMessageW(picker, WM_COMMAND, MAKEWPARAM(TFormIconList::IDM_BROWSE, BN_CLICKED), 0);
    PostMessageW(picker, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  form->ActionIconSelectExecute();
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(form->EditIconFile.Text(), SystemShell32());
  EXPECT_EQ(form->EditIconIndex.Text(), L"3");
  EXPECT_FALSE(PreviewIsWhite());
}

TEST_F(PickIconTest, AnEmptyIconFieldOpensAnEmptyPickerThatOnlyCancels) {
  boxes.Then(ui::mrOk);
  auto driver = OnPicker([](HWND picker) {
    SendMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);  // warns, stays
    PostMessageW(picker, WM_CLOSE, 0, 0);
  });
  form->ActionIconSelectExecute();
  ASSERT_TRUE(driver.Wait());
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, L"アイコンを選択してください。");
  EXPECT_EQ(form->EditIconFile.Text(), L"");
  EXPECT_EQ(form->EditIconIndex.Text(), L"0");
  EXPECT_TRUE(PreviewIsWhite());
}

TEST_F(PickIconTest, RealProgramDialogFillsTheCommandAndRemembersTheFile) {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring program = std::wstring(windows) + L"\\notepad.exe";
  {
    testsupport::FileDialogDriver type(program);
    form->ActionAppSelectExecute();
    ASSERT_TRUE(type.Wait());
  }
  EXPECT_EQ(_wcsicmp(form->EditCommand.Text().c_str(), (L"\"" + program + L"\" \"%1\"").c_str()), 0)
      << testing::PrintToString(form->EditCommand.Text());
  EXPECT_EQ(_wcsicmp(form->OpenDialogApp.FileName.c_str(), program.c_str()), 0);
  {
    testsupport::FileDialogDriver cancel(std::nullopt);
    form->ActionAppSelectExecute();
    ASSERT_TRUE(cancel.Wait());
  }
  EXPECT_EQ(_wcsicmp(form->EditCommand.Text().c_str(), (L"\"" + program + L"\" \"%1\"").c_str()), 0);
}

}  // namespace
