#include "about/UnitFormAboutBox.h"

#include "about/app_info.h"
#include "common/handles.h"
#include "common/text.h"
#include "resource.h"
#include "ui/application.h"
#include "ui/clipboard.h"
#include "ui/message_box.h"
#include "ui/user_shell.h"

namespace {

using ui::akLeft;
using ui::akTop;
using Kind = ui::ControlKind;

// The maker's web page, which the URL label shows and opens.
constexpr wchar_t kMakerAddress[] = L"https://tavrelo.example/";

// A fixed dialog frame without tooltips; Esc is ignored, since there is no Cancel button.
constexpr ui::FormDef kForm = {
    L"バージョン情報",
    298,
    198,
    0,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
    WS_EX_DLGMODALFRAME,
    0,
    0,
    false,
    ui::FormPosition::ScreenCenter,
    TFormAboutBox::IDC_OKBUTTON,
};

constexpr ui::Bounds kPanel1 = {8, 8, 281, 137};

// A position given relative to Panel1, as a position in the window.
constexpr ui::Bounds InPanel1(ui::Bounds b) { return {kPanel1.left + b.left, kPanel1.top + b.top, b.width, b.height}; }

// The texts of the three self-sizing labels are replaced before the box is shown.
constexpr ui::ControlDef kControls[] = {
    {TFormAboutBox::IDC_PANEL1, Kind::Panel, kPanel1, akLeft | akTop},
    {TFormAboutBox::IDC_PROGRAMICON, Kind::Image, InPanel1({8, 8, 65, 57}), akLeft | akTop},
    {TFormAboutBox::IDC_PRODUCTNAME, Kind::Label, InPanel1({88, 16, 0, 13}), akLeft | akTop, L"ProductName"},
    {TFormAboutBox::IDC_VERSION, Kind::Label, InPanel1({88, 40, 0, 13}), akLeft | akTop, L"Version"},
    {TFormAboutBox::IDC_COPYRIGHT, Kind::Label, InPanel1({8, 80, 0, 13}), akLeft | akTop, L"Copyright"},
    {TFormAboutBox::IDC_URL, Kind::Link, InPanel1({24, 99, 228, 0}), akLeft | akTop, kMakerAddress},
    {TFormAboutBox::IDC_OKBUTTON, Kind::DefaultButton, {111, 160, 75, 25}, akLeft | akTop, L"OK"},
};

// The size of the application icon's frame that the picture box shows, at 96 DPI.
constexpr int kIconSize = 48;

}  // namespace

TFormAboutBox::TFormAboutBox(HWND owner, int dpi) : TFormAboutBox(owner, common::ModuleFileName(), dpi) {}

TFormAboutBox::TFormAboutBox(HWND owner, const std::wstring& executable, int dpi) : Form(dpi) {
  CreateForm(owner, kForm, kControls, {}, {});
  Bind(IDC_PRODUCTNAME, ProductName);
  Bind(IDC_VERSION, Version);
  Bind(IDC_COPYRIGHT, Copyright);
  Bind(IDC_URL, URL);

  ui::Picture& icon = PictureOf(IDC_PROGRAMICON);
  icon.Fill(GetSysColor(COLOR_BTNFACE));
  const int size = Scale(kIconSize);
  common::UniqueHIcon app(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  if (app) DrawIconEx(icon.Canvas(), 0, 0, app.get(), size, size, 0, nullptr, DI_NORMAL);

  const TkAppInfo info(executable);
  ProductName.SetText(ui::Application::Instance().Title());
  Version.SetText(info.GetInfo(TkAppInfo::aiFileVersion));
  Copyright.SetText(L"Copyright " + info.GetInfo(TkAppInfo::aiLegalCopyright));
}

const ui::Picture& TFormAboutBox::ProgramIcon() const { return PictureOf(IDC_PROGRAMICON); }

void TFormAboutBox::URLClick() {
  const std::wstring address = URL.Text();
  if (ui::UserShellSeam(address)) return;
  const bool copied = ui::PutOnClipboard(Handle(), address);
  ui::ShowMessageBox(Handle(), ui::BoxKind::Information, ui::AddressNotOpened(address, copied));
}

void TFormAboutBox::OnCommand(int id) {
  switch (id) {
    case IDC_OKBUTTON:
      SetModalResult(ui::mrOk);
      break;
    case IDC_URL:
      URLClick();
      break;
    default:
      // IDCANCEL comes from Esc: the box has no Cancel button, so Esc does nothing.
      break;
  }
}
