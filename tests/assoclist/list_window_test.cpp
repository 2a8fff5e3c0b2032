// The window of the list on a sandboxed registry, driven in process: columns and cells, the
// filter, sorting by a click on a heading, Enter and double click, copying, saving as CSV, the
// menu's default associations file, help, F5, icons, the keyboard, the DPI, and a registry left
// exactly as it was.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <memory>

#include "assoc/default_apps.h"
#include "assoclist/UnitFormAssocList.h"
#include "assoclist/default_apps_box.h"
#include "assoclist/export_text.h"
#include "assoclist/icon_cache.h"
#include "list_fixture.h"
#include "support/temp_files.h"
#include "support/ui_doubles.h"
#include "ui/application.h"

namespace {

using assoclist::kColumnCount;
using listtest::Choice;
using listtest::Machine;
using listtest::Write;
using Id = TFormAssocList::ControlId;

const wchar_t kShell32Icon[] = L"%SystemRoot%\\system32\\shell32.dll,3";

std::vector<Write> State() {
  std::vector<Write> state = listtest::Classic(L".abc");
  const std::vector<Write> more = {
      {Machine, L".txt", L"", L"txtfile"},
      {Machine, L"txtfile", L"", L"テキスト文書"},
      {Machine, L"txtfile\\shell\\open\\command", L"", L"notepad.exe %1"},
      {Machine, L"txtfile\\DefaultIcon", L"", kShell32Icon, REG_EXPAND_SZ},
      {Machine, L".doc", L"", L"docfile"},
      {Machine, L"docfile", L"", L"文書"},
      {Choice, L".doc\\UserChoice", L"ProgId", L"Writer.doc"},
      {Machine, L"Writer.doc\\shell\\open\\command", L"", L"\"C:\\Writer\\w.exe\" \"%1\""},
      {Machine, L".bad", L"", L"noSuchType"},
      {Machine, L".zzz", L"", L"zzzfile"},
      {Machine, L"zzzfile", L"", L"二行\nの説明"},
  };
  state.insert(state.end(), more.begin(), more.end());
  return state;
}

class ListWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.Ok());
    listtest::Apply(State());
    Open(96);
  }
  void TearDown() override {
    form.reset();
    ui::ProcessMessages();
  }

  void Open(int dpi) {
    form = std::make_unique<ui::Modeless<TFormAssocList>>(nullptr, dpi);
    form->OnOpenExtension = [this](const std::wstring& extension) { opened.push_back(extension); };
    form->Show();
    ui::ProcessMessages();
  }
  HWND List() const { return form->ListViewAssoc(); }
  int Count() const { return ListView_GetItemCount(List()); }
  std::wstring Cell(int item, int column) const {
    wchar_t text[1100] = {};
    ListView_GetItemText(List(), item, column, text, 1100);
    return text;
  }
  // The cells of a column, in the order shown.
  std::vector<std::wstring> ColumnCells(int column) const {
    std::vector<std::wstring> cells;
    for (int item = 0; item < Count(); ++item) cells.push_back(Cell(item, column));
    return cells;
  }
  int Find(const std::wstring& extension) const {
    for (int item = 0; item < Count(); ++item)
      if (Cell(item, 0) == extension) return item;
    return -1;
  }
  void Select(std::initializer_list<const wchar_t*> extensions) const {
    ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
    for (const wchar_t* extension : extensions)
      ListView_SetItemState(List(), Find(extension), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  // A key pressed in target, handled as the message loop handles it (Ctrl held when control).
  void Press(HWND target, UINT key, bool control = false) const {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE saved = keys[VK_CONTROL];
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg{target, WM_KEYDOWN, key, 1};
    ui::Application::Instance().Dispatch(msg);
    keys[VK_CONTROL] = saved;
    SetKeyboardState(keys);
    ui::ProcessMessages();
  }
  // The command id chosen on the window's menu, as the menu sends it; answers the item's caption
  // (empty when the menu has no such item).
  std::wstring ChooseOnMenu(int id) const {
    wchar_t caption[128] = {};
    GetMenuStringW(GetMenu(form->Handle()), id, caption, 128, MF_BYCOMMAND);
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    ui::ProcessMessages();
    return caption;
  }
  // A program in folder and an extension whose file type opens it, which the default
  // associations file can name.
  void AddOpenedByProgram(const testsupport::TempFolder& folder) const {
    testsupport::WriteBytes(folder / L"xyz.exe", "MZ");
    listtest::Apply({{Machine, L".xyz", L"", L"xyzfile"},
                     {Machine, L"xyzfile\\shell\\open\\command", L"", L"\"" + (folder / L"xyz.exe") + L"\" \"%1\""}});
  }
  void ClickHeading(int column) const {
    HWND header = ListView_GetHeader(List());
    RECT r{};
    Header_GetItemRect(header, column, &r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    ui::ProcessMessages();
  }
  int HeadingFormat(int column) const {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(ListView_GetHeader(List()), column, &item);
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  }
  int ImageOf(int item) const {
    LVITEMW lv{};
    lv.mask = LVIF_IMAGE;
    lv.iItem = item;
    ListView_GetItem(List(), &lv);
    return lv.iImage;
  }
  // Lets the icon worker finish (at most 10 s).
  void WaitForIcons() const {
    const DWORD start = GetTickCount();
    do {
      for (int item = 0; item < Count(); ++item) ImageOf(item);
      ui::ProcessMessages();
      Sleep(10);
    } while (!form->Icons().Idle() && GetTickCount() - start < 10000);
  }
  std::wstring Clipboard() const {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }

  testsupport::RegistrySandbox sandbox{testsupport::SandboxRoots::WithMachine};
  testsupport::BoxScript boxes;
  std::unique_ptr<TFormAssocList> form;
  std::vector<std::wstring> opened;
};

TEST_F(ListWindowTest, ListsEveryExtensionWithItsColumnsSortedByExtension) {
  ui::Application::Instance().SetTitle(L"Tavrelo 関連づけ編集ソフト");
  form.reset();
  Open(96);
  wchar_t caption[64] = {};
  GetWindowTextW(form->Handle(), caption, 64);
  EXPECT_STREQ(caption, L"関連づけの一覧 - Tavrelo 関連づけ編集ソフト");
  const LONG style = GetWindowLongW(form->Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME) << "resizable";
  const LONG listStyle = GetWindowLongW(List(), GWL_STYLE);
  EXPECT_EQ(listStyle & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(listStyle & LVS_OWNERDATA);
  EXPECT_FALSE(listStyle & LVS_SINGLESEL);

  for (int column = 0; column < kColumnCount; ++column) {
    wchar_t heading[64] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = heading;
    c.cchTextMax = 64;
    ASSERT_TRUE(ListView_GetColumn(List(), column, &c));
    EXPECT_STREQ(heading, assoclist::kColumnCaptions[column]);
  }
  EXPECT_EQ(ColumnCells(0), (std::vector<std::wstring>{L".abc", L".bad", L".doc", L".txt", L".zzz"}));
  const int txt = Find(L".txt");
  EXPECT_EQ(Cell(txt, 1), L"txtfile");
  EXPECT_EQ(Cell(txt, 2), L"テキスト文書");
  EXPECT_EQ(Cell(txt, 3), L"notepad.exe %1");
  EXPECT_EQ(Cell(txt, 4), kShell32Icon);
  EXPECT_EQ(Cell(txt, 5), L"");
  EXPECT_EQ(Cell(Find(L".doc"), 5), L"利用者の選択：C:\\Writer\\w.exe");
  EXPECT_EQ(Cell(Find(L".zzz"), 2), L"二行\\nの説明");
  EXPECT_EQ(Cell(Find(L".bad"), 2), L"");
  EXPECT_EQ(HeadingFormat(0), HDF_SORTUP);
  EXPECT_EQ(form->StatusText(), L"全 5 件中 5 件を表示しています。");
  EXPECT_EQ(ListView_GetSelectedCount(List()), 0u);
  EXPECT_TRUE(form->EditFilter.Focused());
}

TEST_F(ListWindowTest, FilterNarrowsAsOneTypesAndTheStatusBarCounts) {
  const std::pair<const wchar_t*, std::vector<std::wstring>> steps[] = {
      {L"文", {L".doc", L".txt"}},
      {L"文書", {L".doc", L".txt"}},
      {L"テキスト文書", {L".txt"}},
      {L"NOTEPAD", {L".txt"}},
      {L"利用者", {L".doc"}},
      {L"\\n", {L".zzz"}},
      {L"nothing here", {}},
      {L"", {L".abc", L".bad", L".doc", L".txt", L".zzz"}},
  };
  for (const auto& [text, shown] : steps) {
    form->EditFilter.SetText(text);
    EXPECT_EQ(ColumnCells(0), shown) << testing::PrintToString(std::wstring(text));
    EXPECT_EQ(form->StatusText(), L"全 5 件中 " + std::to_wstring(shown.size()) + L" 件を表示しています。");
  }
}

TEST_F(ListWindowTest, ClickOnAHeadingSortsByItAndAgainReversesWithItsArrow) {
  ClickHeading(2);
  EXPECT_EQ(ColumnCells(2), (std::vector<std::wstring>{L"", L"abcファイル", L"テキスト文書", L"二行\\nの説明", L"文書"}));
  EXPECT_EQ(HeadingFormat(2), HDF_SORTUP);
  EXPECT_EQ(HeadingFormat(0), 0);
  ClickHeading(2);
  EXPECT_EQ(ColumnCells(2), (std::vector<std::wstring>{L"文書", L"二行\\nの説明", L"テキスト文書", L"abcファイル", L""}));
  EXPECT_EQ(HeadingFormat(2), HDF_SORTDOWN);
  ClickHeading(3);
  EXPECT_EQ(ColumnCells(0), (std::vector<std::wstring>{L".bad", L".doc", L".zzz", L".abc", L".txt"}))
      << "empty cells first, ties in registry order";
  EXPECT_EQ(HeadingFormat(2), 0);
  EXPECT_EQ(HeadingFormat(3), HDF_SORTUP);
}

TEST_F(ListWindowTest, SelectionStaysWithItsExtensionsThroughSortFilterAndRefresh) {
  Select({L".zzz", L".txt"});
  ClickHeading(0);  // descending
  EXPECT_EQ(form->SelectedExtensions(), (std::vector<std::wstring>{L".zzz", L".txt"}));
  EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_FOCUSED), Find(L".txt"));
  form->EditFilter.SetText(L"t");
  EXPECT_EQ(form->SelectedExtensions(), (std::vector<std::wstring>{L".txt"}));
  form->EditFilter.SetText(L"");
  EXPECT_EQ(form->SelectedExtensions(), (std::vector<std::wstring>{L".txt"})) << "a filtered-out row is forgotten";

  form->EditFilter.SetText(L"x");
  Select({L".abc", L".txt"});
  listtest::Apply({{Machine, L".xml", L"", L"xmlfile"}});
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, L".abc"), ERROR_SUCCESS);
  Press(List(), VK_F5);
  EXPECT_EQ(ColumnCells(0), (std::vector<std::wstring>{L".xml", L".txt", L".doc"}));
  EXPECT_EQ(form->SelectedExtensions(), (std::vector<std::wstring>{L".txt"}));
  EXPECT_EQ(form->EditFilter.Text(), L"x");
  EXPECT_EQ(HeadingFormat(0), HDF_SORTDOWN);
  EXPECT_EQ(form->StatusText(), L"全 5 件中 3 件を表示しています。");
}

TEST_F(ListWindowTest, EnterAndDoubleClickOpenTheRowAndTheListStays) {
  Select({L".txt"});
  Press(List(), VK_RETURN);
  EXPECT_EQ(opened, std::vector<std::wstring>{L".txt"});

  RECT r{};
  const int doc = Find(L".doc");
  ListView_GetItemRect(List(), doc, &r, LVIR_LABEL);
  const LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageW(List(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
  ui::ProcessMessages();
  EXPECT_EQ(opened, (std::vector<std::wstring>{L".txt", L".doc"}));

  // Enter elsewhere, or with nothing selected, opens nothing.
  Press(form->EditFilter.Handle(), VK_RETURN);
  Select({});
  Press(List(), VK_RETURN);
  EXPECT_EQ(opened.size(), 2u);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
}

TEST_F(ListWindowTest, CtrlCCopiesTheSelectedRowsWithAHeadingLine) {
  ClickHeading(0);
  Select({L".txt", L".abc"});
  Press(List(), 'C', true);
  std::vector<const assoclist::AssocRow*> rows = {&form->Table().Shown(1), &form->Table().Shown(4)};
  ASSERT_EQ(rows[0]->key, L".txt");
  const std::wstring expected = assoclist::TabSeparatedText(rows);
  EXPECT_EQ(Clipboard(), expected);
  EXPECT_EQ(expected.substr(0, 4), L"拡張子\t");

  // Ctrl+C in the filter copies the filter's text as an edit field does; Ctrl+A selects all rows.
  Select({L".zzz"});
  Press(form->EditFilter.Handle(), 'C', true);
  EXPECT_EQ(Clipboard(), expected);
  Press(List(), 'A', true);
  EXPECT_EQ(ListView_GetSelectedCount(List()), 5u);
}

TEST_F(ListWindowTest, SavesTheRowsShownAsCsvThroughTheSaveDialog) {
  const testsupport::TempFolder folder;
  testsupport::FileDialogScript dialogs;
  dialogs.Then(folder / L"一覧.csv").Then(folder.Path()).Then(std::nullopt);
  boxes.Then(ui::mrOk).Then(ui::mrOk);
  form->EditFilter.SetText(L"文書");
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(TFormAssocList::IDM_LIST_SAVE_CSV, BN_CLICKED),
               reinterpret_cast<LPARAM>(form->Item(Id::IDC_BTN_SAVE)));
  const std::vector<const assoclist::AssocRow*> rows = {&form->Table().Shown(0), &form->Table().Shown(1)};
  EXPECT_EQ(testsupport::ReadBytes(folder / L"一覧.csv"), assoclist::CsvBytes(rows));
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_TRUE(dialogs.Shown()[0].save);
  EXPECT_EQ(dialogs.Shown()[0].defaultExt, L"csv");
  EXPECT_EQ(dialogs.Shown()[0].fileName, L"関連づけの一覧.csv");
  EXPECT_TRUE(dialogs.Shown()[0].flags & OFN_OVERWRITEPROMPT);
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[0].text, L"一覧を CSV ファイルに保存しました。（2 件）");

  // A folder cannot be written: a warning, and the dialog remembers the last name.
  form->SaveCsv();
  shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
  EXPECT_NE(shown[0].text.find(folder.Path()), std::wstring::npos) << testing::PrintToString(shown[0].text);
  form->SaveCsv();
  EXPECT_TRUE(boxes.Take().empty()) << "a cancelled dialog saves nothing";
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()), std::vector<std::wstring>{L"一覧.csv"});
}

TEST_F(ListWindowTest, MenuSavesThisUsersDefaultAppsFileThroughTheSaveDialog) {
  const testsupport::TempFolder folder;
  AddOpenedByProgram(folder);
  const listtest::Trees before = listtest::Snapshot(sandbox);
  const std::vector<assoc::defaults::DefaultApp> apps =
      assoc::defaults::CollectDefaultApps(assoc::defaults::ExportScope::All);
  const std::string expected = assoc::defaults::DefaultAppsXml(apps);
  ASSERT_NE(expected.find("Identifier=\".xyz\" ProgId=\"xyzfile\""), std::string::npos) << expected;
  testsupport::FileDialogScript dialogs;
  dialogs.Then(folder / L"既定.xml").Then(folder.Path()).Then(std::nullopt);
  boxes.Then(ui::mrOk).Then(ui::mrOk);

  EXPECT_EQ(ChooseOnMenu(TFormAssocList::IDM_LIST_SAVE_DEFAULTS), L"既定のアプリの構成ファイルに保存(&W)...");
  EXPECT_EQ(testsupport::ReadBytes(folder / L"既定.xml"), expected);
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_TRUE(dialogs.Shown()[0].save);
  EXPECT_EQ(dialogs.Shown()[0].defaultExt, L"xml");
  EXPECT_EQ(dialogs.Shown()[0].fileName, L"既定のアプリ.xml");
  EXPECT_NE(dialogs.Shown()[0].filter.find(L"*.xml"), std::wstring::npos);
  EXPECT_TRUE(dialogs.Shown()[0].flags & OFN_OVERWRITEPROMPT);
  auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[0].text, L"既定の関連づけ " + std::to_wstring(apps.size()) + L" 件を保存しました。");

  // A folder cannot be written: a warning naming it; a cancelled dialog saves nothing.
  ChooseOnMenu(TFormAssocList::IDM_LIST_SAVE_DEFAULTS);
  shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
  EXPECT_NE(shown[0].text.find(folder.Path()), std::wstring::npos) << testing::PrintToString(shown[0].text);
  ChooseOnMenu(TFormAssocList::IDM_LIST_SAVE_DEFAULTS);
  EXPECT_TRUE(boxes.Take().empty());
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()), (std::vector<std::wstring>{L"xyz.exe", L"既定.xml"}));
  EXPECT_TRUE(listtest::Snapshot(sandbox) == before);
}

TEST_F(ListWindowTest, MenuChecksADefaultAppsFileAndWritesNothing) {
  const testsupport::TempFolder folder;
  AddOpenedByProgram(folder);
  const listtest::Trees before = listtest::Snapshot(sandbox);
  auto file = [](const char* association) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DefaultAssociations>\r\n  ") + association +
           "\r\n</DefaultAssociations>\r\n";
  };
  const std::string wrongBytes = file(R"(<Association Identifier=".xyz" ProgId="noSuchType" ApplicationName="X" />)");
  const std::wstring wrong = testsupport::Written(folder / L"wrong.xml", wrongBytes);
  const std::wstring right = testsupport::Written(
      folder / L"right.xml", file(R"(<Association Identifier=".xyz" ProgId="xyzfile" ApplicationName="xyz" />)"));
  testsupport::FileDialogScript dialogs;
  dialogs.Then(wrong).Then(right).Then(std::nullopt);
  boxes.Then(ui::mrOk).Then(ui::mrOk);

  EXPECT_EQ(ChooseOnMenu(TFormAssocList::IDM_LIST_CHECK_DEFAULTS), L"既定のアプリの構成ファイルを確認(&K)...");
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_FALSE(dialogs.Shown()[0].save);
  EXPECT_EQ(dialogs.Shown()[0].defaultExt, L"xml");
  EXPECT_NE(dialogs.Shown()[0].filter.find(L"*.xml"), std::wstring::npos);
  EXPECT_TRUE(dialogs.Shown()[0].flags & OFN_FILEMUSTEXIST);
  ChooseOnMenu(TFormAssocList::IDM_LIST_CHECK_DEFAULTS);
  ChooseOnMenu(TFormAssocList::IDM_LIST_CHECK_DEFAULTS);

  const auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 2u) << "a cancelled dialog shows nothing";
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Warning);
  EXPECT_EQ(shown[0].text,
            L"3行目：「.xyz」のファイルタイプ「noSuchType」が、このコンピューターにありません。"
            L"Windows はこの指定を何も言わずに飛ばします。\n\n問題が 1 件見つかりました。");
  EXPECT_EQ(shown[1].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[1].text, L"問題は見つかりませんでした。");
  EXPECT_EQ(testsupport::ReadBytes(wrong), wrongBytes);
  EXPECT_EQ(testsupport::FolderEntries(folder.Path()),
            (std::vector<std::wstring>{L"right.xml", L"wrong.xml", L"xyz.exe"}));
  EXPECT_TRUE(listtest::Snapshot(sandbox) == before);
}

TEST_F(ListWindowTest, F1AndTheHelpButtonOpenTheListsTopic) {
  testsupport::HelpRecorder help;
  Press(List(), VK_F1);
  Press(form->EditFilter.Handle(), VK_F1);
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(Id::IDC_BTN_HELP, BN_CLICKED),
               reinterpret_cast<LPARAM>(form->Item(Id::IDC_BTN_HELP)));
  ASSERT_EQ(help.Calls().size(), 3u);
  for (const ui::HelpRequest& call : help.Calls()) {
    EXPECT_EQ(call.command, ui::kHelpContext);
    EXPECT_EQ(call.data, 5u);
    EXPECT_EQ(call.owner, form->Handle());
  }
}

TEST_F(ListWindowTest, RowsShowTheirIconTheGenericOneOrNoneWhileItIsTaken) {
  const int txt = Find(L".txt"), abc = Find(L".abc"), bad = Find(L".bad");
  EXPECT_EQ(ImageOf(bad), 0) << "no icon: the generic one at once";
  WaitForIcons();
  EXPECT_GT(ImageOf(txt), 0);
  EXPECT_EQ(ImageOf(abc), 0) << "its file does not exist";
  EXPECT_EQ(ImageList_GetImageCount(form->Icons().Images()), 2);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(ListView_GetImageList(List(), LVSIL_SMALL), &cx, &cy);
  EXPECT_EQ(cx, 16);
  EXPECT_EQ(cy, 16);
}

TEST_F(ListWindowTest, KeyboardMovesBetweenFilterAndListWithAccessKeysUnderlined) {
  EXPECT_FALSE(SendMessageW(form->Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL);
  wchar_t label[32] = {};
  GetWindowTextW(form->Item(Id::IDC_LABEL_FILTER), label, 32);
  EXPECT_STREQ(label, L"絞り込み(&F)");
  EXPECT_FALSE(GetWindowLongW(form->Item(Id::IDC_LABEL_FILTER), GWL_STYLE) & SS_NOPREFIX);

  ASSERT_TRUE(form->EditFilter.Focused());
  Press(form->EditFilter.Handle(), VK_TAB);
  EXPECT_EQ(GetFocus(), List());
  Press(List(), VK_TAB);
  EXPECT_EQ(GetFocus(), form->Item(Id::IDC_RADIO_EXTENSIONS)) << "the selector follows the list";
  MSG alt{List(), WM_SYSCHAR, 'f', 1 << 29};
  ui::Application::Instance().Dispatch(alt);
  EXPECT_TRUE(form->EditFilter.Focused()) << "Alt+F";
  Press(form->EditFilter.Handle(), VK_DOWN);
  EXPECT_EQ(GetFocus(), List());
  // Typing in the list goes to the first extension that begins with the letters, dot or not.
  SendMessageW(List(), WM_CHAR, L't', 1);
  EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_FOCUSED), Find(L".txt"));

  // Esc closes the window; the object stays for its owner.
  Press(List(), VK_ESCAPE);
  EXPECT_FALSE(form->Handle());
  EXPECT_TRUE(form->Icons().Idle());
}

TEST_F(ListWindowTest, OpeningFilteringSortingAndRefreshingChangeNothingInTheRegistry) {
  form.reset();
  const listtest::Trees before = listtest::Snapshot(sandbox);
  Open(96);
  form->EditFilter.SetText(L"t");
  ClickHeading(3);
  ClickHeading(3);
  Select({L".txt"});
  Press(List(), VK_F5);
  Press(List(), 'C', true);
  WaitForIcons();
  form->EditFilter.SetText(L"");
  form.reset();
  EXPECT_TRUE(listtest::Snapshot(sandbox) == before);
}

TEST(ListWindowDpiTest, LayoutColumnsAndIconsScaleWithTheDpi) {
  testsupport::RegistrySandbox sandbox(testsupport::SandboxRoots::WithMachine);
  listtest::Apply(State());
  for (int dpi : {96, 144}) {
    ui::Modeless<TFormAssocList> form(nullptr, dpi);
    auto scaled = [dpi](int length) { return MulDiv(length, dpi, 96); };
    RECT client{}, list{};
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, scaled(648)) << dpi;
    GetWindowRect(form.ListViewAssoc(), &list);
    MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, scaled(8)) << dpi;
    EXPECT_EQ(list.top, scaled(58)) << dpi;
    EXPECT_EQ(list.right - list.left, scaled(632)) << dpi;
    EXPECT_EQ(ListView_GetColumnWidth(form.ListViewAssoc(), 0), scaled(72)) << dpi;
    int cx = 0, cy = 0;
    ImageList_GetIconSize(form.Icons().Images(), &cx, &cy);
    EXPECT_EQ(cx, scaled(16)) << dpi;

    // The list takes what the window gains; the buttons keep to the bottom right.
    RECT frame{}, before{}, after{};
    GetWindowRect(form.Item(Id::IDC_BTN_CLOSE), &before);
    GetWindowRect(form.Handle(), &frame);
    SetWindowPos(form.Handle(), nullptr, 0, 0, frame.right - frame.left + 30, frame.bottom - frame.top + 20,
                 SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(form.Item(Id::IDC_BTN_CLOSE), &after);
    EXPECT_EQ(after.left - before.left, 30) << dpi;
    EXPECT_EQ(after.top - before.top, 20) << dpi;
    GetWindowRect(form.ListViewAssoc(), &after);
    EXPECT_EQ(after.right - after.left, scaled(632) + 30) << dpi;
    // It does not shrink below a usable size.
    SetWindowPos(form.Handle(), nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(form.Handle(), &frame);
    EXPECT_GE(frame.right - frame.left, scaled(360)) << dpi;
  }
}

}  // namespace
