// The icon picker on its own: listing, preselection, bad files, OK/Cancel, browse, layout.
#include <windows.h>
#include <commdlg.h>

#include <climits>
#include <fstream>
#include <set>
#include <vector>

#include "common/icons.h"
#include "common/local_files.h"
#include "support/pipe_server.h"
#include "picker_fixture.h"

namespace {

using Id = TFormIconList::ControlId;

TEST_F(PickerTest, ListsEveryIconCaptionedWithItsIndexAndPreselects) {
  const std::wstring file = TestData(L"icons3.dll");
  picker->SetIconFile(file, 0);
  EXPECT_EQ(picker->GetIconFile(), file);
  ASSERT_EQ(Count(), 3);
  EXPECT_EQ(ImageList_GetImageCount(picker->ImageListIcon()), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(CaptionOf(i), common::IntToStr(i));
    EXPECT_EQ(ImageOf(i), i);
  }
  EXPECT_EQ(picker->GetIconIndex(), 0);
  // The selection does not move the keyboard focus item.
  EXPECT_EQ(ListView_GetNextItem(picker->ListViewIcon(), -1, LVNI_FOCUSED), -1);

  int cx = 0, cy = 0;
  ImageList_GetIconSize(picker->ImageListIcon(), &cx, &cy);
  EXPECT_EQ(cx, 32);
  EXPECT_EQ(cy, 32);

  const std::pair<int, int> preselect[] = {{0, 0},  {1, 1},  {2, 2},       {3, -1},
                                           {5, -1}, {-1, -1}, {INT_MAX, -1}, {INT_MIN, -1}};
  for (auto [index, selected] : preselect) {
    picker->SetIconFile(file, index);
    EXPECT_EQ(picker->GetIconIndex(), selected) << index;
    EXPECT_EQ(Count(), 3);
  }
}

TEST_F(PickerTest, ListsTheSystemLibraryAndKeepsItsBeginningInView) {
  const std::wstring file = SystemShell32();
  const int count = static_cast<int>(common::IconFile(file).Count());
  ASSERT_GT(count, 100);
  picker->SetIconFile(file, count - 1);
  EXPECT_EQ(Count(), count);
  EXPECT_EQ(picker->GetIconIndex(), count - 1);
  EXPECT_EQ(CaptionOf(count - 1), common::IntToStr(count - 1));
  POINT origin{-1, -1};
  ListView_GetOrigin(picker->ListViewIcon(), &origin);
  EXPECT_EQ(origin.y, 0) << "the list was scrolled to the selection";
}

TEST_F(PickerTest, BadFilesGiveAnEmptyListAndEveryIconHandleIsReleased) {
  const TempFolder scratch;
  const std::wstring folder = scratch.Path();
  const std::string library = ReadBytes(TestData(L"icons3.dll"));
  ASSERT_GT(library.size(), 4096u);
  const std::string icon = ReadBytes(TestData(L"app.ico"));
  const std::wstring japanese = Written(folder + L"\\アイコン 入り.dll", library);
  struct Case {
    std::wstring path;
    int count;
  };
  std::vector<Case> cases = {
      {L"", 0},
      {folder, 0},                                                 // a directory
      {folder + L"\\missing.dll", 0},                              // no such file
      {Written(folder + L"\\text.dll", "MZ not really a library\r\n"), 0},
      {Written(folder + L"\\empty.ico", ""), 0},            // 0 bytes
      {japanese, 3},
      {TestData(L"app.ico"), 1},
  };
  // Libraries and icon files cut short list nothing when the cut reaches their icons (the
  // platform's reader may fault on them); a cut behind the icons leaves them all (-1: either).
  for (size_t cut : {size_t{64}, size_t{400}, size_t{1024}, size_t{4096}, library.size() / 2, library.size() - 10})
    cases.push_back({Written(folder + L"\\cut" + std::to_wstring(cut) + L".dll", library.substr(0, cut)),
                     cut > 4096 ? -1 : 0});
  for (size_t cut : {size_t{6}, size_t{22}, size_t{4096}, icon.size() - 10})
    cases.push_back({Written(folder + L"\\cut" + std::to_wstring(cut) + L".ico", icon.substr(0, cut)), 0});

  // Every handle that comes out of the platform is watched.
  std::vector<HICON> extracted;
  auto watch = common::CreateIconRaw.Replace([&](const std::vector<BYTE>& image, int cx, int cy) {
    HICON icon = common::CreateIconRaw.Real(image, cx, cy);
    if (icon) extracted.push_back(icon);
    return icon;
  });
  const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);

  for (const Case& c : cases) {
    for (int index : {0, -1, INT_MAX}) {
      picker->SetIconFile(c.path, index);
      EXPECT_EQ(picker->GetIconFile(), c.path);
      const int count = Count();
      if (c.count >= 0) {
        EXPECT_EQ(count, c.count) << testing::PrintToString(c.path);
      }
      EXPECT_TRUE(count == 0 || count == 3 || count == c.count) << testing::PrintToString(c.path);
      EXPECT_EQ(ImageList_GetImageCount(picker->ImageListIcon()), count);
      EXPECT_EQ(picker->GetIconIndex(), index == 0 && count > 0 ? 0 : -1);
    }
  }
  ASSERT_FALSE(extracted.empty());
  for (HICON icon : extracted) {
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "an extracted icon was not destroyed";
  }
  // Where the platform counts objects (Windows), nothing stays behind either.
  if (userBefore != 0) {
    picker->SetIconFile(L"", 0);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
  }
}

TEST_F(PickerTest, AFileThatCountsOneIconButHoldsNoneListsNothing) {
  // The platform's file reader counts 1 icon in a file that is no program, library or icon file
  // on Windows (0 under Wine); the icons are read here, and such a file reaches no reader at all.
  auto noReader = common::CreateIconRaw.Replace([](const std::vector<BYTE>&, int, int) -> HICON {
    ADD_FAILURE() << "a text file reached the icon reader";
    return nullptr;
  });
  const TempFolder scratch;
  picker->SetIconFile(Written(scratch / L"notes.txt", "text\r\n"), 0);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(picker->GetIconIndex(), -1);
}

TEST_F(PickerTest, APathOnTheNetworkOrAPipeListsNothingAndIsNeverOpened) {
  // The path comes from the registry or a settings file through the main window's field.
  const testsupport::PipeServer pipe;
  std::vector<std::wstring> opened;
  auto watch = common::OpenFileRaw.Replace([&](const std::wstring& path, DWORD flags) {
    opened.push_back(path);
    return common::OpenFileRaw.Real(path, flags);
  });
  for (const std::wstring& path : {pipe.Path(), std::wstring(L"\\\\tavrelo-nowhere\\share\\icons.dll")}) {
    picker->SetIconFile(path, 0);
    EXPECT_EQ(picker->GetIconFile(), path);
    EXPECT_EQ(Count(), 0);
  }
  EXPECT_EQ(opened, std::vector<std::wstring>{});
  EXPECT_FALSE(pipe.Connected());
}

TEST_F(PickerTest, OkNeedsASelectionAndCancelNeedsNothing) {
  picker->SetIconFile(L"", 0);
  boxes.Then(ui::mrOk);
  picker->BtnOkClick();
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
  EXPECT_EQ(shown[0].title, L"警告");
  EXPECT_EQ(shown[0].text, L"アイコンを選択してください。");
  EXPECT_EQ(shown[0].buttons, ui::BoxButtons::Ok);
  EXPECT_EQ(shown[0].owner, picker->Handle());
  EXPECT_EQ(picker->ModalResult(), ui::mrNone);

  picker->SetIconFile(TestData(L"icons3.dll"), -1);
  Select(2);
  picker->BtnOkClick();
  EXPECT_EQ(picker->ModalResult(), ui::mrOk);
  EXPECT_EQ(picker->GetIconIndex(), 2);
}

TEST_F(PickerTest, EnterTriggersOkAndEscapeCancels) {
  picker->SetIconFile(TestData(L"icons3.dll"), -1);
  picker->Show();
  HWND list = picker->ListViewIcon();
  SetFocus(list);

  boxes.Then(ui::mrOk);
  MSG enter{list, WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_TRUE(picker->PreTranslateMessage(enter));
  EXPECT_EQ(boxes.Take().size(), 1u) << "OK without a selection warns";
  EXPECT_EQ(picker->ModalResult(), ui::mrNone);

  Select(1);
  EXPECT_TRUE(picker->PreTranslateMessage(enter));
  EXPECT_EQ(picker->ModalResult(), ui::mrOk);

  picker->SetModalResult(ui::mrNone);
  MSG escape{list, WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_TRUE(picker->PreTranslateMessage(escape));
  EXPECT_EQ(picker->ModalResult(), ui::mrCancel);

  // A double click only selects.
  picker->SetModalResult(ui::mrNone);
  RECT r;
  ListView_GetItemRect(list, 0, &r, LVIR_ICON);
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.left + 4, r.top + 4));
  ui::ProcessMessages();
  EXPECT_EQ(picker->ModalResult(), ui::mrNone);
}

TEST_F(PickerTest, ShowModalAnswersCancelForTheCloseBox) {
  picker->SetIconFile(TestData(L"icons3.dll"), 0);
  testsupport::WindowDriver close(testsupport::WindowCaptioned(L"アイコン選択"),
                                  [](HWND hwnd) { PostMessageW(hwnd, WM_CLOSE, 0, 0); });
  EXPECT_EQ(picker->ShowModal(), ui::mrCancel);
  EXPECT_TRUE(close.Wait());
  EXPECT_FALSE(IsWindowVisible(picker->Handle()));
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
}

TEST_F(PickerTest, BrowseListsTheChosenFileWithNothingSelected) {
  testsupport::FileDialogScript dialogs;
  picker->SetIconFile(SystemShell32(), 4);

  dialogs.Then(std::nullopt);
  picker->ActionIconSelectExecute();
  EXPECT_EQ(picker->GetIconFile(), SystemShell32());
  EXPECT_EQ(picker->GetIconIndex(), 4);

  dialogs.Then(TestData(L"icons3.dll"));
  picker->ActionIconSelectExecute();
  EXPECT_EQ(picker->GetIconFile(), TestData(L"icons3.dll"));
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(picker->GetIconIndex(), -1);

  ASSERT_EQ(dialogs.Shown().size(), 2u);
  const ui::FileDialogRequest& request = dialogs.Shown()[0];
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.filter, L"ファイル (*.exe;*.dll;*.ico)|*.exe; *.dll; *.ico");
  EXPECT_EQ(request.fileName, L"") << "nothing is suggested from the current file";
  EXPECT_EQ(request.flags & (OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING),
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING));
  EXPECT_TRUE(request.flags & OFN_NOCHANGEDIR);
}

TEST_F(PickerTest, LayoutHintsFocusOrderAndHelp) {
  wchar_t title[64] = {};
  GetWindowTextW(picker->Handle(), title, 64);
  EXPECT_STREQ(title, L"アイコン選択");
  RECT client;
  GetClientRect(picker->Handle(), &client);
  EXPECT_EQ(client.right, 426);
  EXPECT_EQ(client.bottom, 293);
  EXPECT_TRUE(GetWindowLongW(picker->Handle(), GWL_STYLE) & WS_THICKFRAME);
  EXPECT_TRUE(GetWindowLongW(picker->EditFileName.Handle(), GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(GetWindow(picker->Handle(), GW_OWNER), owner->Handle());

  // Centred over its owner.
  RECT o, p;
  GetWindowRect(owner->Handle(), &o);
  GetWindowRect(picker->Handle(), &p);
  EXPECT_NEAR((p.left + p.right) / 2, (o.left + o.right) / 2, 1);
  EXPECT_NEAR((p.top + p.bottom) / 2, (o.top + o.bottom) / 2, 1);

  struct Row {
    int id;
    RECT r;
    const wchar_t* hint;
  };
  const Row rows[] = {
      {Id::IDC_EDIT_FILENAME, {8, 24, 353, 45}, L"アイコンを持つファイルの場所を表示します。"},
      {Id::IDC_SPEEDBUTTON1, {353, 23, 418, 45}, L"アイコンを持つファイルを選択します。"},
      {Id::IDC_LISTVIEW_ICON, {8, 51, 418, 225}, L"関連づけに使用するアイコンを選択します。"},
      {Id::IDC_BITBTN3, {8, 239, 83, 264}, L"ヘルプを表示します。"},
      {Id::IDC_BTN_OK, {239, 239, 314, 264}, L"設定を登録し、元の画面に戻ります。"},
      {Id::IDC_BITBTN2, {320, 239, 403, 264}, L"設定を破棄し、元の画面に戻ります。"},
  };
  for (const Row& row : rows) {
    RECT r;
    GetWindowRect(picker->Item(row.id), &r);
    MapWindowPoints(nullptr, picker->Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(EqualRect(&r, &row.r)) << row.id << ": " << r.left << "," << r.top << "," << r.right << ","
                                       << r.bottom;
    EXPECT_EQ(picker->TooltipText(picker->Item(row.id)), row.hint);
  }
  // The list stretches both ways; the buttons keep to their corners.
  SetWindowPos(picker->Handle(), nullptr, 0, 0, p.right - p.left + 60, p.bottom - p.top + 40,
               SWP_NOMOVE | SWP_NOZORDER);
  RECT list, ok;
  GetWindowRect(picker->ListViewIcon(), &list);
  GetWindowRect(picker->Item(Id::IDC_BTN_OK), &ok);
  EXPECT_EQ(list.right - list.left, 410 + 60);
  EXPECT_EQ(list.bottom - list.top, 174 + 40);
  MapWindowPoints(nullptr, picker->Handle(), reinterpret_cast<POINT*>(&ok), 2);
  EXPECT_EQ(ok.left, 239 + 60);
  EXPECT_EQ(ok.top, 239 + 40);

  const int order[] = {Id::IDC_EDIT_FILENAME, Id::IDC_LISTVIEW_ICON, Id::IDC_BITBTN3, Id::IDC_BTN_OK,
                       Id::IDC_BITBTN2};
  HWND at = picker->Item(order[0]);
  for (size_t i = 1; i <= std::size(order); ++i) {
    at = GetNextDlgTabItem(picker->Handle(), at, FALSE);
    EXPECT_EQ(at, picker->Item(order[i % std::size(order)])) << i;
  }
  EXPECT_EQ(GetWindowLongW(picker->Item(Id::IDC_BTN_OK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

  testsupport::HelpRecorder help;
  SendMessageW(picker->Item(Id::IDC_BITBTN3), BM_CLICK, 0, 0);
  ASSERT_EQ(help.Calls().size(), 1u);
  EXPECT_EQ(help.Calls()[0].command, ui::kHelpContext);
  EXPECT_EQ(help.Calls()[0].data, 4u);
}

TEST_F(PickerTest, RealWarningBoxKeepsThePickerOpen) {
  testsupport::BoxScript* none = nullptr;
  (void)none;
  auto real = ui::MessageBoxSeam.Replace(&ui::ShowRealMessageBox);
  picker->SetIconFile(TestData(L"icons3.dll"), -1);
  picker->Show();
  testsupport::DialogDriver driver(IDOK);
  picker->BtnOkClick();
  const testsupport::DialogView& view = driver.Wait();
  ASSERT_TRUE(view.hwnd);
  EXPECT_EQ(view.caption, L"警告");
  EXPECT_EQ(view.texts.back(), L"アイコンを選択してください。");
  ASSERT_EQ(view.buttons.size(), 1u);
  EXPECT_EQ(view.buttons[0].caption, L"OK");
  EXPECT_EQ(view.owner, picker->Handle());
  EXPECT_EQ(picker->ModalResult(), ui::mrNone);
  EXPECT_TRUE(IsWindowVisible(picker->Handle()));
}

TEST_F(PickerTest, RealFileDialogTypesAPathOrCancels) {
  picker->SetIconFile(SystemShell32(), 1);
  {
    testsupport::FileDialogDriver cancel(std::nullopt);
    picker->ActionIconSelectExecute();
    EXPECT_TRUE(cancel.Wait());
  }
  EXPECT_EQ(picker->GetIconFile(), SystemShell32());
  EXPECT_EQ(picker->GetIconIndex(), 1);
  {
    testsupport::FileDialogDriver type(TestData(L"icons3.dll"));
    picker->ActionIconSelectExecute();
    EXPECT_TRUE(type.Wait());
  }
  EXPECT_EQ(_wcsicmp(picker->GetIconFile().c_str(), TestData(L"icons3.dll").c_str()), 0) << picker->GetIconFile();
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(picker->GetIconIndex(), -1);
}

}  // namespace
