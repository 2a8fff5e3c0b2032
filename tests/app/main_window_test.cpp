// The main window as built: layout, anchors, hints, focus order, menus, shortcuts, the
// document state in the caption, the reset and the icon preview.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <fstream>

#include "app_fixture.h"
#include "common/cursor.h"
#include "resource.h"

namespace {

using Id = TFormMain::ControlId;

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

using testsupport::IsAllWhite;

struct LayoutRow {
  int id;
  RECT design;  // left, top, right, bottom at 96 DPI
  unsigned anchors;
};

constexpr unsigned L = ui::akLeft, T = ui::akTop, R = ui::akRight, B = ui::akBottom;
const LayoutRow kLayout[] = {
    {Id::IDC_EDIT_EXT, {8, 48, 8 + 121, 48 + 21}, L | T},
    {Id::IDC_SPEEDBUTTON3, {128, 47, 128 + 129, 47 + 22}, L | T},
    {Id::IDC_EDIT_COMMAND, {8, 91, 8 + 353, 91 + 21}, L | T | R},
    {Id::IDC_SPEEDBUTTON2, {361, 91, 361 + 57, 91 + 22}, T | R},
    {Id::IDC_EDIT_FILETYPE, {8, 134, 8 + 410, 134 + 21}, L | T | R},
    {Id::IDC_IMAGE_ICON, {8, 171, 8 + 32, 171 + 32}, L | T},
    {Id::IDC_EDIT_ICONFILE, {46, 182, 46 + 252, 182 + 21}, L | T | R},
    {Id::IDC_EDIT_ICONINDEX, {304, 182, 304 + 57, 182 + 21}, T | R},
    {Id::IDC_SPEEDBUTTON1, {361, 181, 361 + 57, 181 + 22}, T | R},
    {Id::IDC_BTN_HELP, {8, 232, 8 + 75, 232 + 25}, L | B},
    {Id::IDC_BITBTN1, {105, 232, 105 + 113, 232 + 25}, R | B},
    {Id::IDC_BITBTN3, {224, 232, 224 + 113, 232 + 25}, R | B},
    {Id::IDC_BITBTN2, {343, 232, 343 + 75, 232 + 25}, R | B},
};

void ExpectRect(const RECT& actual, const RECT& expected, const char* what, int id) {
  EXPECT_EQ(actual.left, expected.left) << what << " control " << id;
  EXPECT_EQ(actual.top, expected.top) << what << " control " << id;
  EXPECT_EQ(actual.right, expected.right) << what << " control " << id;
  EXPECT_EQ(actual.bottom, expected.bottom) << what << " control " << id;
}

TEST_F(MainWindowTest, StartsAsANewSettingWithTheExtensionFieldFocused) {
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト");
  EXPECT_EQ(form->SettingFileName(), L"");
  EXPECT_EQ(form->EditExt.Text(), L"");
  EXPECT_EQ(form->EditCommand.Text(), L"");
  EXPECT_EQ(form->EditFileType.Text(), L"");
  EXPECT_EQ(form->EditIconFile.Text(), L"");
  EXPECT_EQ(form->EditIconIndex.Text(), L"0");
  EXPECT_TRUE(IsAllWhite(form->ImageIcon()));
  EXPECT_TRUE(form->EditExt.Focused());
  // Access keys are underlined from the start, not only once Alt is pressed.
  EXPECT_FALSE(SendMessageW(form->Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL);
  EXPECT_FALSE(SendMessageW(form->Item(Id::IDC_BTN_HELP), WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL);
  // The user types into three fields only.
  EXPECT_FALSE(GetWindowLongW(form->EditExt.Handle(), GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(GetWindowLongW(form->EditIconFile.Handle(), GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(GetWindowLongW(form->EditIconIndex.Handle(), GWL_STYLE) & (ES_READONLY | ES_NUMBER));
  EXPECT_EQ(ui::Application::Instance().HelpFile().substr(ui::Application::Instance().HelpFile().size() - 4),
            L".chm");
}

TEST_F(MainWindowTest, ControlsStandAtTheirPlacesAndFollowTheirAnchorsWhenResized) {
  RECT client;
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(client.right, 426);
  EXPECT_EQ(client.bottom + kMenuBand, 292);
  for (const auto& row : kLayout) ExpectRect(DesignRect(row.id), row.design, "at 96 DPI", row.id);
  // The status bar spans the bottom edge at the height its font needs (19 with Tahoma).
  RECT status = DesignRect(Id::IDC_STATUSBAR);
  EXPECT_EQ(status.left, 0);
  EXPECT_EQ(status.right, 426);
  EXPECT_EQ(status.bottom, 292);
  EXPECT_GE(status.bottom - status.top, 19);
  EXPECT_LE(status.bottom - status.top, 23);

  // Labels stand just above their fields, left-aligned with them.
  const std::pair<int, int> labels[] = {{Id::IDC_LABEL_EXT, Id::IDC_EDIT_EXT},
                                        {Id::IDC_LABEL_COMMAND, Id::IDC_EDIT_COMMAND},
                                        {Id::IDC_LABEL_FILETYPE, Id::IDC_EDIT_FILETYPE},
                                        {Id::IDC_LABEL_ICONFILE, Id::IDC_EDIT_ICONFILE},
                                        {Id::IDC_LABEL_ICONINDEX, Id::IDC_EDIT_ICONINDEX}};
  for (auto [label, field] : labels) {
    RECT l = DesignRect(label), f = DesignRect(field);
    EXPECT_EQ(l.left, f.left) << label;
    EXPECT_LE(l.bottom, f.top) << label;
    EXPECT_GE(l.bottom, f.top - 4) << label;
  }

  // Grow the client by 100 x 50: right anchors move or stretch, bottom anchors move.
  RECT frame;
  GetWindowRect(form->Handle(), &frame);
  SetWindowPos(form->Handle(), nullptr, 0, 0, frame.right - frame.left + 100, frame.bottom - frame.top + 50,
               SWP_NOMOVE | SWP_NOZORDER);
  for (const auto& row : kLayout) {
    RECT e = row.design;
    if (row.anchors & R) {
      if (!(row.anchors & L)) e.left += 100;
      e.right += 100;
    }
    if (row.anchors & B) {
      e.top += 50;
      e.bottom += 50;
    }
    ExpectRect(DesignRect(row.id), e, "after resize", row.id);
  }
  status = DesignRect(Id::IDC_STATUSBAR);
  EXPECT_EQ(status.right, 526);
  EXPECT_EQ(status.bottom, 342);
}

TEST(MainWindowDpi, LayoutAndFontScaleWithTheDpi) {
  ui::Application::Instance().SetTitle(kApplicationTitle);
  TFormMain form(144);
  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 639);
  for (const auto& row : kLayout) {
    RECT r;
    GetWindowRect(form.Item(row.id), &r);
    MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, MulDiv(row.design.left, 144, 96)) << row.id;
    EXPECT_EQ(r.top, MulDiv(row.design.top - 23, 144, 96)) << row.id;
    EXPECT_EQ(r.right - r.left, MulDiv(row.design.right - row.design.left, 144, 96)) << row.id;
  }
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(form.EditExt.Handle(), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -16);
  EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
  int cx = 0, cy = 0;
  ImageList_GetIconSize(form.Images(), &cx, &cy);
  EXPECT_EQ(cx, 24);
  EXPECT_EQ(form.ImageIcon().Width(), 48);
}

TEST_F(MainWindowTest, HintsShowAsTooltipsAndInTheStatusBar) {
  const std::pair<int, const wchar_t*> hints[] = {
      {Id::IDC_EDIT_EXT, L"関連づけを行う拡張子を入力して下さい。"},
      {Id::IDC_EDIT_COMMAND, L"実行するプログラムを入力して下さい。"},
      {Id::IDC_EDIT_FILETYPE, L"ファイルタイプの説明を入力して下さい。"},
      {Id::IDC_EDIT_ICONFILE, L"アイコンファイルの場所を表示します。"},
      {Id::IDC_EDIT_ICONINDEX, L"アイコンファイル中のアイコンの番号を表示します。"},
      {Id::IDC_SPEEDBUTTON3, L"「拡張子」欄に入力された拡張子の情報を読み込みます。"},
      {Id::IDC_SPEEDBUTTON2, L"実行するプログラムを選択します。"},
      {Id::IDC_SPEEDBUTTON1, L"アイコンの選択を行う「アイコン選択画面」を表示します。"},
      {Id::IDC_BTN_HELP, L"ヘルプを表示します。"},
      {Id::IDC_BITBTN1, L"入力された内容で、関連づけの情報をレジストリに登録します。"},
      {Id::IDC_BITBTN3, L"「拡張子」欄に入力された拡張子の情報をレジストリから削除します。"},
      {Id::IDC_BITBTN2, L"ソフトウェアを終了します。"},
  };
  for (auto [id, hint] : hints) {
    HWND control = form->Item(id);
    EXPECT_EQ(form->TooltipText(control), hint) << id;
    // The pointer moves over the control: the status bar shows the same text.
    MSG move{control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2)};
    form->PreTranslateMessage(move);
    EXPECT_EQ(form->StatusText(), hint) << id;
  }
  // Over the window's background or a label, there is no hint.
  MSG move{form->Item(Id::IDC_LABEL_EXT), WM_MOUSEMOVE, 0, 0};
  form->PreTranslateMessage(move);
  EXPECT_EQ(form->StatusText(), L"");

  // Menu items show their action's hint while selected; closing the menu clears it.
  HMENU file = GetSubMenu(GetMenu(form->Handle()), 0);
  SendMessageW(form->Handle(), WM_MENUSELECT, MAKEWPARAM(IDM_FILE_SAVE_AS, MF_STRING),
               reinterpret_cast<LPARAM>(file));
  EXPECT_EQ(form->StatusText(), L"設定をファイルに名前をつけて保存します。");
  SendMessageW(form->Handle(), WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP),
               reinterpret_cast<LPARAM>(GetMenu(form->Handle())));
  EXPECT_EQ(form->StatusText(), L"");
  SendMessageW(form->Handle(), WM_MENUSELECT, MAKEWPARAM(IDM_ABOUT_VERSION, MF_STRING), 0);
  EXPECT_EQ(form->StatusText(), L"バージョン情報を表示します。");
  SendMessageW(form->Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(form->StatusText(), L"");
}

TEST_F(MainWindowTest, TabMovesThroughTheFieldsThenTheButtons) {
  const int order[] = {Id::IDC_EDIT_EXT,   Id::IDC_EDIT_COMMAND, Id::IDC_EDIT_FILETYPE,
                       Id::IDC_EDIT_ICONFILE, Id::IDC_EDIT_ICONINDEX, Id::IDC_BTN_HELP,
                       Id::IDC_BITBTN1,    Id::IDC_BITBTN3,      Id::IDC_BITBTN2};
  HWND at = form->Item(order[0]);
  for (size_t i = 1; i <= std::size(order); ++i) {
    at = GetNextDlgTabItem(form->Handle(), at, FALSE);
    EXPECT_EQ(at, form->Item(order[i % std::size(order)])) << "step " << i;
  }
  // The flat buttons never take the focus.
  for (int id : {Id::IDC_SPEEDBUTTON1, Id::IDC_SPEEDBUTTON2, Id::IDC_SPEEDBUTTON3})
    EXPECT_FALSE(GetWindowLongW(form->Item(id), GWL_STYLE) & WS_TABSTOP) << id;

  // Tab, as the user presses it, goes through the dialog keys of the window.
  MSG tab{form->EditExt.Handle(), WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(form->PreTranslateMessage(tab));
  EXPECT_TRUE(form->EditCommand.Focused());
}

TEST_F(MainWindowTest, ButtonsShowTheirActionsCaptionsAndGlyphs) {
  const std::pair<int, const wchar_t*> buttons[] = {
      {Id::IDC_BTN_HELP, L"ヘルプ(&H)"},
      {Id::IDC_BITBTN1, L"関連づけの登録"},
      {Id::IDC_BITBTN3, L"関連づけの削除"},
      {Id::IDC_BITBTN2, L"閉じる(&X)"},
  };
  for (auto [id, caption] : buttons) {
    HWND button = form->Item(id);
    EXPECT_EQ(TextOf(button), caption);
    EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON) << "no default button";
    BUTTON_IMAGELIST glyph{};
    SendMessageW(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&glyph));
    ASSERT_TRUE(glyph.himl) << id;
    EXPECT_EQ(ImageList_GetImageCount(glyph.himl), 1) << id;
  }
  const std::tuple<int, const wchar_t*, int> speed[] = {
      {Id::IDC_SPEEDBUTTON3, L"関連づけの読み込み", 4},
      {Id::IDC_SPEEDBUTTON2, L"参照", 0},
      {Id::IDC_SPEEDBUTTON1, L"参照", 3},
  };
  for (auto [id, caption, image] : speed) {
    HWND bar = form->Item(id);
    EXPECT_EQ(ClassOf(bar), TOOLBARCLASSNAMEW);
    TBBUTTON b{};
    ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&b)));
    EXPECT_EQ(b.iBitmap, image) << id;
    wchar_t text[64] = {};
    SendMessageW(bar, TB_GETBUTTONTEXTW, b.idCommand, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, caption);
  }
  EXPECT_EQ(ImageList_GetImageCount(form->Images()), 7);
}

TEST_F(MainWindowTest, MenusListTheFileAndHelpCommandsWithImagesAndShortcuts) {
  struct Item {
    UINT id;
    const wchar_t* text;
    bool image;
  };
  const Item fileItems[] = {{IDM_FILE_NEW, L"新規作成(&N)\tCtrl+N", true},
                            {IDM_FILE_OPEN, L"開く(&O)\tCtrl+O", true},
                            {IDM_FILE_SAVE_AS, L"名前をつけて保存(&A)", false},
                            {IDM_FILE_SAVE, L"上書き保存(&S)\tCtrl+S", true},
                            {0, L"", false},
                            {IDM_FILE_UNDO, L"元に戻す(&U)\tCtrl+Z", false},
                            {IDM_FILE_REDO, L"やり直し(&Y)\tCtrl+Y", false},
                            {IDM_FILE_RESTORE, L"バックアップから復元(&R)...", false},
                            {0, L"", false},
                            {IDM_ASSOC_LIST, L"関連づけの一覧(&L)\tCtrl+L", false},
                            {IDM_FILE_TYPE_DETAILS, L"ファイルタイプの詳細(&D)...", false},
                            {0, L"", false},
                            {IDM_FILE_CLOSE, L"閉じる(&X)", false}};
  const Item helpItems[] = {{IDM_HELP_SHOW, L"ヘルプ(&Z)", true}, {IDM_ABOUT_VERSION, L"バージョン情報(&V)", false}};
  const std::tuple<const wchar_t*, std::span<const Item>> bar[] = {{L"ファイル(&F)", fileItems},
                                                                   {L"ヘルプ(&H)", helpItems}};
  HMENU menu = GetMenu(form->Handle());
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  for (int i = 0; i < 2; ++i) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, std::get<0>(bar[i]));
    HMENU popup = GetSubMenu(menu, i);
    auto items = std::get<1>(bar[i]);
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(items.size()));
    for (int k = 0; k < static_cast<int>(items.size()); ++k) {
      MENUITEMINFOW mii{sizeof mii};
      mii.fMask = MIIM_ID | MIIM_BITMAP | MIIM_STATE;
      GetMenuItemInfoW(popup, k, TRUE, &mii);
      EXPECT_EQ(mii.wID, items[k].id);
      EXPECT_EQ(mii.hbmpItem == HBMMENU_CALLBACK, items[k].image) << items[k].id;
      EXPECT_TRUE(items[k].id == 0 || !(mii.fState & MFS_DISABLED)) << items[k].id;
      GetMenuStringW(popup, k, text, 64, MF_BYPOSITION);
      EXPECT_STREQ(text, items[k].text);
    }
  }

  // The shortcuts are accelerators: Ctrl+N, Ctrl+O, Ctrl+S, Ctrl+Z, Ctrl+Y, Ctrl+L, nothing else.
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINACCEL));
  ACCEL accel[8];
  int n = CopyAcceleratorTableW(table, accel, 8);
  ASSERT_EQ(n, 6);
  const std::pair<WORD, WORD> expected[] = {{'N', IDM_FILE_NEW},  {'O', IDM_FILE_OPEN}, {'S', IDM_FILE_SAVE},
                                            {'Z', IDM_FILE_UNDO}, {'Y', IDM_FILE_REDO}, {'L', IDM_ASSOC_LIST}};
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(accel[i].key, expected[i].first);
    EXPECT_EQ(accel[i].cmd, expected[i].second);
    EXPECT_EQ(accel[i].fVirt & (FCONTROL | FSHIFT | FALT | FVIRTKEY), FCONTROL | FVIRTKEY);
  }
}

TEST_F(MainWindowTest, CtrlNResetsTheSettingThroughTheShortcut) {
  Fill(L"txt", L"cmd", L"desc", L"", L"3");
  BYTE keys[256];
  GetKeyboardState(keys);
  BYTE saved = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  MSG ctrlN{form->EditCommand.Handle(), WM_KEYDOWN, 'N', 0};
  bool consumed = form->PreTranslateMessage(ctrlN);
  keys[VK_CONTROL] = saved;
  SetKeyboardState(keys);
  EXPECT_TRUE(consumed);
  ui::ProcessMessages();
  EXPECT_EQ(form->EditExt.Text(), L"");
  EXPECT_EQ(form->EditIconIndex.Text(), L"0");
}

TEST_F(MainWindowTest, CaptionFollowsTheSettingsFileName) {
  form->SetSettingFileName(L"C:\\work\\a.INI");
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - a.INI");
  EXPECT_EQ(form->SettingFileName(), L"C:\\work\\a.INI");
  form->SetSettingFileName(L"D:b.ini");
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - b.ini");
  form->SetSettingFileName(L"plain.ini");
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト - plain.ini");

  // The current name again does not rewrite the caption.
  SetWindowTextW(form->Handle(), L"marker");
  form->SetSettingFileName(L"plain.ini");
  EXPECT_EQ(Caption(), L"marker");

  form->SetSettingFileName(L"");
  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト");
}

TEST_F(MainWindowTest, NewSettingClearsFieldsCaptionDialogNamesAndPreview) {
  form->SetSettingFileName(L"C:\\work\\a.INI");
  Fill(L"txt", L"\"C:\\a.exe\" \"%1\"", L"desc", Shell32Path(), L"3");
  form->DrawIconPreview(Shell32Path(), 3);
  form->OpenDialogApp.FileName = L"C:\\a.exe";
  form->OpenDialogIni.FileName = L"C:\\a.ini";
  form->SaveDialogIni.FileName = L"C:\\b.ini";
  ASSERT_FALSE(IsAllWhite(form->ImageIcon()));

  form->ActionFileNewExecute();

  EXPECT_EQ(Caption(), L"Tavrelo 関連づけ編集ソフト");
  EXPECT_EQ(form->SettingFileName(), L"");
  for (const ui::Control* edit : {&form->EditExt, &form->EditCommand, &form->EditFileType, &form->EditIconFile})
    EXPECT_EQ(edit->Text(), L"");
  EXPECT_EQ(form->EditIconIndex.Text(), L"0");
  EXPECT_EQ(form->OpenDialogApp.FileName, L"");
  EXPECT_EQ(form->OpenDialogIni.FileName, L"");
  EXPECT_EQ(form->SaveDialogIni.FileName, L"");
  EXPECT_TRUE(IsAllWhite(form->ImageIcon()));
}

TEST_F(MainWindowTest, PreviewDrawsAnIconOrStaysWhite) {
  form->DrawIconPreview(Shell32Path(), 0);
  EXPECT_FALSE(IsAllWhite(form->ImageIcon()));

  const std::pair<std::wstring, int> nothing[] = {
      {L"", 0},                         // no icon file
      {L"C:\\no\\such\\file.ico", 0},   // missing file
      {TextFilePath(), 0},              // a file without icons
      {L"C:\\windows", 0},              // a directory
      {Shell32Path(), 100000},          // no icon at that index
      {Shell32Path(), -1},              // -1 asks the platform for a count, not an icon
  };
  for (const auto& [file, index] : nothing) {
    form->DrawIconPreview(Shell32Path(), 0);
    form->DrawIconPreview(file, index);
    EXPECT_TRUE(IsAllWhite(form->ImageIcon())) << testing::PrintToString(file) << " " << index;
  }
}

TEST_F(MainWindowTest, HelpOpensTheContentsOrTopicThree) {
  testsupport::HelpRecorder help;
  form->ActionHelpShowExecute();
  SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(Id::IDC_BTN_HELP, BN_CLICKED),
               reinterpret_cast<LPARAM>(form->Item(Id::IDC_BTN_HELP)));
  ASSERT_EQ(help.Calls().size(), 2u);
  const std::wstring file = ui::Application::Instance().HelpFile();
  EXPECT_EQ(help.Calls()[0].file, file);
  EXPECT_EQ(help.Calls()[0].command, ui::kHelpDisplayToc);
  EXPECT_EQ(help.Calls()[1].command, ui::kHelpContext);
  EXPECT_EQ(help.Calls()[1].data, 3u);
  EXPECT_EQ(help.Calls()[1].owner, form->Handle());
}

TEST_F(MainWindowTest, CloseEndsTheWindowWithoutAQuestion) {
  Fill(L"txt", L"edited", L"", L"", L"0");
  SendMessageW(form->Handle(), WM_COMMAND, IDM_FILE_CLOSE, 0);
  EXPECT_FALSE(IsWindow(form->Handle()));
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindowTest, BusyCursorOverridesEveryControlsCursor) {
  HWND edit = form->EditExt.Handle();
  LPARAM hit = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_FALSE(SendMessageW(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(edit), hit));
  {
    TCursorHourGlass busy;
    EXPECT_TRUE(SendMessageW(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(edit), hit));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  }
  EXPECT_FALSE(SendMessageW(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(edit), hit));
}

TEST_F(MainWindowTest, ProgramSelectionQuotesThePathAndKeepsTheFieldOnCancel) {
  testsupport::FileDialogScript dialogs;
  dialogs.Then(L"C:\\Program Files\\x\\a.exe").Then(L"C:\\y.exe").Then(std::nullopt);
  form->ActionAppSelectExecute();
  EXPECT_EQ(form->EditCommand.Text(), L"\"C:\\Program Files\\x\\a.exe\" \"%1\"");
  form->ActionAppSelectExecute();
  EXPECT_EQ(form->EditCommand.Text(), L"\"C:\\y.exe\" \"%1\"");
  form->ActionAppSelectExecute();
  EXPECT_EQ(form->EditCommand.Text(), L"\"C:\\y.exe\" \"%1\"");

  ASSERT_EQ(dialogs.Shown().size(), 3u);
  const ui::FileDialogRequest& first = dialogs.Shown()[0];
  EXPECT_FALSE(first.save);
  EXPECT_EQ(first.filter, L"実行プログラム (*.exe)|*.exe|すべてのファイル(*.*)|*.*");
  EXPECT_EQ(first.defaultExt, L"exe");
  EXPECT_EQ(first.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                                            OFN_FILEMUSTEXIST | OFN_ENABLESIZING));
  EXPECT_EQ(first.fileName, L"");
  EXPECT_EQ(dialogs.Shown()[1].fileName, L"C:\\Program Files\\x\\a.exe");
  // The icon fields are left alone.
  EXPECT_EQ(form->EditIconFile.Text(), L"");
  EXPECT_EQ(form->EditIconIndex.Text(), L"0");
}

}  // namespace
