#include "iconpicker/UnitFormIconList.h"

#include <commctrl.h>
#include <commdlg.h>

#include <array>

#include "common/cursor.h"
#include "common/icons.h"
#include "common/text.h"
#include "resource.h"
#include "ui/application.h"
#include "ui/image_list.h"
#include "ui/message_box.h"

namespace {

using ui::akBottom;
using ui::akLeft;
using ui::akRight;
using ui::akTop;
using Kind = ui::ControlKind;

// The picker's own image list (ImageList1) holds the folder image only.
constexpr ui::Action kActions[] = {
    {TFormIconList::IDM_BROWSE, L"参照", L"アイコンを持つファイルを選択します。", 0},
};

constexpr ui::FormDef kForm = {
    L"アイコン選択",
    426,
    293,
    0,
    (WS_OVERLAPPEDWINDOW & ~WS_MINIMIZEBOX) | WS_CLIPCHILDREN,
    0,
    0,
    0,
    true,
    ui::FormPosition::OwnerCenter,
    TFormIconList::IDC_LISTVIEW_ICON,
};

constexpr ui::ControlDef kControls[] = {
    {TFormIconList::IDC_LABEL_FILENAME, Kind::Label, {8, 8, 0, 13}, akLeft | akTop, L"ファイルの場所"},
    {TFormIconList::IDC_EDIT_FILENAME, Kind::Edit, {8, 24, 345, 21}, akLeft | akTop | akRight, nullptr,
     L"アイコンを持つファイルの場所を表示します。", 0, 0, ES_READONLY},
    {TFormIconList::IDC_SPEEDBUTTON1, Kind::SpeedButton, {353, 23, 65, 22}, akTop | akRight, nullptr, nullptr,
     TFormIconList::IDM_BROWSE},
    {TFormIconList::IDC_LISTVIEW_ICON, Kind::ListView, {8, 51, 410, 174}, akLeft | akTop | akRight | akBottom,
     nullptr, L"関連づけに使用するアイコンを選択します。"},
    {TFormIconList::IDC_BITBTN3, Kind::Button, {8, 239, 75, 25}, akLeft | akBottom, L"ヘルプ(&H)",
     L"ヘルプを表示します。", 0, IDI_GLYPH_HELP},
    {TFormIconList::IDC_BTN_OK, Kind::DefaultButton, {239, 239, 75, 25}, akRight | akBottom, L"OK",
     L"設定を登録し、元の画面に戻ります。", 0, IDI_GLYPH_OK},
    {TFormIconList::IDC_BITBTN2, Kind::Button, {320, 239, 83, 25}, akRight | akBottom, L"キャンセル",
     L"設定を破棄し、元の画面に戻ります。", 0, IDI_GLYPH_CANCEL},
    {TFormIconList::IDC_STATUSBAR, Kind::StatusBar, {0, 274, 426, 19}, akLeft | akRight | akBottom},
};

constexpr std::array<int, 1> kImages = {IDI_IMAGE_OPEN};

// The help topic of this window.
constexpr int kHelpContext = 4;

}  // namespace

TFormIconList::TFormIconList(HWND owner, int dpi)
    : Form(dpi),
      OpenDialogIcon(ui::FileDialog::Kind::Open, L"ファイル (*.exe;*.dll;*.ico)|*.exe; *.dll; *.ico", L"",
                     OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING) {
  CreateForm(owner, kForm, kControls, kActions, ui::LoadIconList(kImages, Scale(16)));
  Bind(IDC_EDIT_FILENAME, EditFileName);
  const int size = Scale(32);
  FImageListIcon.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 0, 16));
  ListView_SetImageList(ListViewIcon(), FImageListIcon.get(), LVSIL_NORMAL);
}

void TFormIconList::OnCommand(int id) {
  switch (id) {
    case IDM_BROWSE:
      ActionIconSelectExecute();
      break;
    case IDC_BTN_OK:
      BtnOkClick();
      break;
    case IDC_BITBTN2:
      SetModalResult(ui::mrCancel);
      break;
    case IDC_BITBTN3:
      BitBtn3Click();
      break;
    default:
      break;
  }
}

void TFormIconList::LoadIcons(const std::wstring& path) {
  TCursorHourGlass busy;
  HWND list = ListViewIcon();
  ListView_DeleteAllItems(list);
  ImageList_RemoveAll(FImageListIcon.get());

  // The file is asked nothing by its path before this one opening: a path on the network or a
  // device, which the registry or a settings file may hold, is never opened (common::IconFile).
  const common::IconFile icons(path);
  const UINT count = icons.Count();
  if (count == 0) return;

  // The images go in first and the list is filled without redrawing, so that a file with
  // thousands of icons loads in time proportional to their number.
  ImageList_SetImageCount(FImageListIcon.get(), count);
  common::UniqueHIcon holder;
  for (UINT i = 0; i < count; ++i) {
    holder = icons.Icon(static_cast<int>(i));
    // An index without an icon keeps its blank image, so image i stays icon i.
    if (holder) ImageList_ReplaceIcon(FImageListIcon.get(), static_cast<int>(i), holder.get());
  }
  holder.reset();

  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_SetItemCount(list, count);
  for (UINT i = 0; i < count; ++i) {
    std::wstring caption = common::IntToStr(static_cast<int>(i));
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(i);
    item.iImage = static_cast<int>(i);
    item.pszText = caption.data();
    ListView_InsertItem(list, &item);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void TFormIconList::SetIconFile(const std::wstring& path, int index) {
  EditFileName.SetText(path);
  LoadIcons(EditFileName.Text());
  if (index >= 0 && index < ListView_GetItemCount(ListViewIcon()))
    ListView_SetItemState(ListViewIcon(), index, LVIS_SELECTED, LVIS_SELECTED);
}

std::wstring TFormIconList::GetIconFile() const { return EditFileName.Text(); }

int TFormIconList::GetIconIndex() const { return ListView_GetNextItem(ListViewIcon(), -1, LVNI_SELECTED); }

void TFormIconList::ActionIconSelectExecute() {
  if (!OpenDialogIcon.Execute(Handle())) return;
  EditFileName.SetText(OpenDialogIcon.FileName);
  LoadIcons(OpenDialogIcon.FileName);
}

void TFormIconList::BtnOkClick() {
  if (GetIconIndex() < 0) {
    ui::ShowMessageBox(Handle(), ui::BoxKind::Warning, L"アイコンを選択してください。");
    return;
  }
  SetModalResult(ui::mrOk);
}

void TFormIconList::BitBtn3Click() { ui::Application::Instance().HelpContext(Handle(), kHelpContext); }
