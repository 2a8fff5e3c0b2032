// The list of associations with the main window: opened with Ctrl+L, owned and modeless, rows
// opened into the main window's fields, refreshed after a register or a delete there; and the
// real windows worked once from another thread, as a user would.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/UnitFormMain.h"
#include "assoclist/UnitFormAssocList.h"
#include "list_fixture.h"
#include "resource.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"
#include "ui/application.h"

namespace {

using listtest::Machine;
using testsupport::CellOf;
using ListId = TFormAssocList::ControlId;

constexpr wchar_t kListCaption[] = L"関連づけの一覧 - Tavrelo 関連づけ編集ソフト";

// The visible window of this process captioned caption; null when there is none.
HWND WindowOfThisProcess(const wchar_t* caption) {
  struct Search {
    const wchar_t* caption;
    HWND found = nullptr;
  } search{caption};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t text[64] = {};
        GetWindowTextW(hwnd, text, 64);
        if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd) || wcscmp(text, s->caption) != 0) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[1100] = {};
  GetWindowTextW(hwnd, text, 1100);
  return text;
}

int ItemOf(HWND view, const std::wstring& extension) {
  const int count = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
  for (int item = 0; item < count; ++item)
    if (CellOf(view, item, 0) == extension) return item;
  return -1;
}

class MainListTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.Ok());
    listtest::Apply(listtest::Classic(L".abc"));
    listtest::Apply({{Machine, L".txt", L"", L"txtfile"},
                     {Machine, L"txtfile", L"", L"テキスト文書"},
                     {Machine, L"txtfile\\shell\\open\\command", L"", L"notepad.exe %1"}});
    ui::Application::Instance().SetTitle(kApplicationTitle);
    main = std::make_unique<TFormMain>(96);
    main->Show();
    ui::ProcessMessages();
  }
  void TearDown() override {
    main.reset();
    ui::ProcessMessages();
  }

  // Ctrl+L pressed in the extension field.
  void PressCtrlL() const {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE saved = keys[VK_CONTROL];
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG msg{main->EditExt.Handle(), WM_KEYDOWN, 'L', 1};
    ui::Application::Instance().Dispatch(msg);
    keys[VK_CONTROL] = saved;
    SetKeyboardState(keys);
    ui::ProcessMessages();
  }
  // The list's form, found through its window.
  TFormAssocList* List() const {
    return dynamic_cast<TFormAssocList*>(ui::Form::FromHandle(WindowOfThisProcess(kListCaption)));
  }

  testsupport::RegistrySandbox sandbox{testsupport::SandboxRoots::WithMachine};
  testsupport::BoxScript boxes;
  std::unique_ptr<TFormMain> main;
};

TEST_F(MainListTest, CtrlLOpensTheListOwnedAndModelessAndBringsTheSameOneBack) {
  PressCtrlL();
  HWND list = WindowOfThisProcess(kListCaption);
  ASSERT_TRUE(list);
  EXPECT_EQ(GetWindow(list, GW_OWNER), main->Handle());
  EXPECT_TRUE(IsWindowEnabled(main->Handle())) << "modeless";
  EXPECT_EQ(GetActiveWindow(), list);
  EXPECT_EQ(List()->Table().RowCount(), 2u);

  SetActiveWindow(main->Handle());
  ShowWindow(list, SW_MINIMIZE);
  SendMessageW(main->Handle(), WM_COMMAND, IDM_ASSOC_LIST, 0);
  EXPECT_EQ(WindowOfThisProcess(kListCaption), list) << "the same window again";
  EXPECT_FALSE(IsIconic(list));
  EXPECT_EQ(GetActiveWindow(), list);

  SendMessageW(list, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(list));
  PressCtrlL();
  EXPECT_TRUE(WindowOfThisProcess(kListCaption)) << "a new one after closing";
}

TEST_F(MainListTest, EnterOnARowReadsItsAssociationIntoTheMainWindow) {
  main->ActionAssocListExecute();
  TFormAssocList* list = List();
  ASSERT_TRUE(list);
  const std::vector<std::wstring> txt = {L".txt"};
  list->SelectExtensions(txt);
  MSG enter{list->ListViewAssoc(), WM_KEYDOWN, VK_RETURN, 1};
  ui::Application::Instance().Dispatch(enter);
  ui::ProcessMessages();
  EXPECT_EQ(main->EditExt.Text(), L".txt");
  EXPECT_EQ(main->EditCommand.Text(), L"notepad.exe %1");
  EXPECT_EQ(main->EditFileType.Text(), L"テキスト文書");
  EXPECT_EQ(GetActiveWindow(), main->Handle());
  EXPECT_TRUE(IsWindowVisible(list->Handle())) << "the list stays open";
}

TEST_F(MainListTest, RegisterAndDeleteRefreshTheOpenListKeepingFilterSortAndSelection) {
  main->ActionAssocListExecute();
  TFormAssocList* list = List();
  ASSERT_TRUE(list);
  list->SortByColumn(assoclist::kCommand);
  list->SortByColumn(assoclist::kCommand);
  list->EditFilter.SetText(L"n");
  list->SelectExtensions({L".txt"});
  auto shown = [&] {
    std::vector<std::wstring> keys;
    for (size_t i = 0; i < list->Table().ShownCount(); ++i) keys.push_back(list->Table().Shown(i).key);
    return keys;
  };
  ASSERT_EQ(shown(), std::vector<std::wstring>{L".txt"});

  main->EditExt.SetText(L".new");
  main->EditCommand.SetText(L"\"C:\\New\\new.exe\" \"%1\"");
  main->EditIconFile.SetText(testsupport::SystemShell32());
  main->EditIconIndex.SetText(L"0");
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  main->DoExtLink();
  EXPECT_EQ(shown(), (std::vector<std::wstring>{L".txt", L".new"}));
  EXPECT_EQ(list->SelectedExtensions(), std::vector<std::wstring>{L".txt"});
  EXPECT_EQ(list->EditFilter.Text(), L"n");
  EXPECT_EQ(list->Table().SortColumn(), assoclist::kCommand);
  EXPECT_TRUE(list->Table().Descending());
  EXPECT_EQ(list->StatusText(), L"全 3 件中 2 件を表示しています。");

  list->SelectExtensions({L".new"});
  boxes.Then(ui::mrYes).Then(ui::mrOk);
  main->DoExtUnlink();
  EXPECT_EQ(shown(), std::vector<std::wstring>{L".txt"});
  EXPECT_TRUE(list->SelectedExtensions().empty());

  // A refused question changes nothing, and the list is not read again.
  list->SelectExtensions({L".txt"});
  boxes.Then(ui::mrNo);
  main->DoExtUnlink();
  EXPECT_EQ(list->SelectedExtensions(), std::vector<std::wstring>{L".txt"});
}

TEST_F(MainListTest, TheRealWindowsWorkedFromAnotherThread) {
  struct Seen {
    std::vector<std::wstring> cells;
    std::wstring extension, command, fileType;
  } seen;
  testsupport::WindowDriver driver(testsupport::WindowCaptioned(kApplicationTitle), [&](HWND mainWindow) {
    PostMessageW(mainWindow, WM_COMMAND, IDM_ASSOC_LIST, 0);
    HWND list = testsupport::WaitForWindow(testsupport::WindowCaptioned(kListCaption), 10000);
    if (list) {
      HWND view = GetDlgItem(list, ListId::IDC_LISTVIEW_ASSOC);
      const int item = ItemOf(view, L".txt");
      for (int column = 0; column < assoclist::kColumnCount; ++column) seen.cells.push_back(CellOf(view, item, column));
      LVITEMW state{};
      state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(view, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
      PostMessageW(view, WM_KEYDOWN, VK_RETURN, 1);
      HWND ext = GetDlgItem(mainWindow, TFormMain::IDC_EDIT_EXT);
      for (int wait = 0; wait < 500 && TextOf(ext) != L".txt"; ++wait) Sleep(10);
      seen.extension = TextOf(ext);
      seen.command = TextOf(GetDlgItem(mainWindow, TFormMain::IDC_EDIT_COMMAND));
      seen.fileType = TextOf(GetDlgItem(mainWindow, TFormMain::IDC_EDIT_FILETYPE));
    }
    PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  });
  ui::Application::Instance().Run(*main);
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(seen.cells, (std::vector<std::wstring>{L".txt", L"txtfile", L"テキスト文書", L"notepad.exe %1", L"", L"", L""}));
  EXPECT_EQ(seen.extension, L".txt");
  EXPECT_EQ(seen.command, L"notepad.exe %1");
  EXPECT_EQ(seen.fileType, L"テキスト文書");
  EXPECT_FALSE(WindowOfThisProcess(kListCaption)) << "the list closes with the main window";
}

}  // namespace
