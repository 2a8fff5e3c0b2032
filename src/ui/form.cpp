#include "ui/form.h"

#include <commctrl.h>

#include <cstdlib>

#include "common/cursor.h"
#include "ui/application.h"

namespace ui {

namespace {

constexpr wchar_t kFormClass[] = L"TavreloForm";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// A one-image list for a button glyph, made from an icon.
common::UniqueHImageList GlyphList(HICON icon, int size) {
  common::UniqueHImageList list(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0));
  if (list && icon) ImageList_ReplaceIcon(list.get(), -1, icon);
  return list;
}

RECT CentredIn(const RECT& area, int width, int height) {
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  return RECT{x, y, x + width, y + height};
}

// The form's font, Tahoma 8 pt at dpi.
common::UniqueHFont FormFont(int dpi, bool underline) {
  return common::UniqueHFont(CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE,
                                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                         DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
}

// A window's device context with a font selected, both given back when it ends.
class FontDc {
 public:
  FontDc(HWND window, HFONT font) : dc_(window), old_(SelectObject(dc_.get(), font)) {}
  ~FontDc() { SelectObject(dc_.get(), old_); }
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;
  HDC get() const { return dc_.get(); }

 private:
  common::WindowDc dc_;
  HGDIOBJ old_;
};

// The size that text takes in font: on one line, or wrapped at wrapWidth when that is not 0.
SIZE TextSize(HWND window, HFONT font, std::wstring_view text, int wrapWidth) {
  FontDc dc(window, font);
  RECT r{0, 0, wrapWidth, 0};
  const UINT format = DT_CALCRECT | DT_NOPREFIX | (wrapWidth ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextW(dc.get(), text.data(), static_cast<int>(text.size()), &r, format);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// The system's hyperlink colour, or the classic link blue where that has too little contrast
// with the face colour to be read (Wine's default scheme makes it a light grey).
COLORREF LinkColor() {
  auto luminance = [](COLORREF c) { return (299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c)) / 1000; };
  const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
  return std::abs(luminance(link) - luminance(GetSysColor(COLOR_BTNFACE))) >= kLegibleContrast ? link
                                                                                                : RGB(0, 102, 204);
}

RECT WorkAreaOf(HWND window) {
  MONITORINFO mi{sizeof mi};
  HMONITOR monitor =
      window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY) : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  GetMonitorInfoW(monitor, &mi);
  return mi.rcWork;
}

}  // namespace

// ---- Picture ----

Picture::Picture(int width, int height) : width_(width), height_(height) {
  const common::WindowDc screen(nullptr);
  dc_.reset(CreateCompatibleDC(screen.get()));
  bitmap_.reset(CreateCompatibleBitmap(screen.get(), width, height));
  SelectObject(dc_.get(), bitmap_.get());
  Fill(RGB(255, 255, 255));
}

void Picture::Fill(COLORREF color) {
  RECT r{0, 0, width_, height_};
  common::UniqueHBrush brush(CreateSolidBrush(color));
  FillRect(dc_.get(), &r, brush.get());
}

COLORREF Picture::Pixel(int x, int y) const { return GetPixel(dc_.get(), x, y); }

// ---- Control ----

std::wstring Control::Text() const {
  std::wstring text(GetWindowTextLengthW(hwnd_) + 1, L'\0');
  text.resize(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size())));
  return text;
}

void Control::SetText(std::wstring_view text) const {
  SetWindowTextW(hwnd_, std::wstring(text).c_str());
  if (!autoSize_) return;
  if (Form* form = Form::FromHandle(hwnd_)) form->FitToText(hwnd_);
}

void Control::SetFocus() const { ::SetFocus(hwnd_); }

bool Control::Focused() const { return GetFocus() == hwnd_; }

// ---- Form ----

ATOM Form::ClassAtom() {
  static ATOM atom = [] {
    WNDCLASSEXW wc{sizeof wc};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Form::WndProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    // The application icon is resource 1 of the executable, when it has one.
    wc.hIcon = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_DEFAULTCOLOR));
    return RegisterClassExW(&wc);
  }();
  return atom;
}

Form::~Form() {
  // The window goes first, while the members that its last messages use still live, and with
  // its handle still held for them: its WM_NCDESTROY gives the handle up.
  if (hwnd_) DestroyWindow(hwnd_.get());
}

Form* Form::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (!root || GetClassLongPtrW(root, GCW_ATOM) != ClassAtom()) return nullptr;
  return reinterpret_cast<Form*>(GetWindowLongPtrW(root, GWLP_USERDATA));
}

LRESULT CALLBACK Form::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Form* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_.reset(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);

  LRESULT result = 0;
  try {
    result = self->HandleMessage(msg, wParam, lParam);
  } catch (...) {
    Application::Instance().HandleException();
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_.release();
  }
  return result;
}

void Form::CreateForm(HWND owner, const FormDef& def, std::span<const ControlDef> controls,
                      std::span<const Action> actions, common::UniqueHImageList images) {
  actions_ = actions;
  images_ = std::move(images);
  font_ = FormFont(dpi_, false);

  // Owned here until the window takes it.
  common::UniqueHMenu menu(def.menu ? LoadMenuW(Instance(), MAKEINTRESOURCEW(def.menu)) : nullptr);
  if (menu) AttachMenuImages(menu.get());
  if (def.accelerators) accelerators_ = LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(def.accelerators));

  designClient_ = {Scale(def.clientWidth), Scale(def.clientHeight - def.menuBand)};
  RECT frame{0, 0, designClient_.cx, designClient_.cy};
  AdjustWindowRectEx(&frame, def.style, menu ? TRUE : FALSE, def.exStyle);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT area = def.position == FormPosition::OwnerCenter && owner ? RECT{} : WorkAreaOf(owner);
  if (def.position == FormPosition::OwnerCenter && owner) GetWindowRect(owner, &area);
  RECT place = CentredIn(area, width, height);

  // The window's WM_NCCREATE hands it to hwnd_.
  CreateWindowExW(def.exStyle, MAKEINTATOM(ClassAtom()), def.caption, def.style, place.left, place.top, width, height,
                  owner, menu.get(), Instance(), this);
  // A window that was made owns the menu, and so does one that failed after taking it (it
  // destroyed the menu with itself).
  if (hwnd_ || !IsMenu(menu.get())) menu.release();
  if (!hwnd_) return;

  // A menu bar that wraps takes more than one row: give the client its full design height.
  RECT client;
  GetClientRect(hwnd_.get(), &client);
  if (client.bottom != designClient_.cy || client.right != designClient_.cx) {
    SetWindowPos(hwnd_.get(), nullptr, 0, 0, width + designClient_.cx - client.right,
                 height + designClient_.cy - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  if (def.tooltips) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_.get(), nullptr,
                               Instance(), nullptr);
  }

  for (const ControlDef& row : controls) {
    RECT r{Scale(row.bounds.left), Scale(row.bounds.top - def.menuBand), 0, 0};
    r.right = r.left + Scale(row.bounds.width);
    r.bottom = r.top + Scale(row.bounds.height);
    HWND control = CreateControl(row, r);
    if (!control) continue;
    items_[row.id] = control;
    if (row.kind == ControlKind::StatusBar) {
      statusBar_ = control;
      continue;
    }
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, hwnd_.get(), reinterpret_cast<POINT*>(&r), 2);
    // A combo box's window reports its closed height; sized to that, its list would not drop.
    if (row.kind == ControlKind::ComboBox) r.bottom = r.top + 9 * (r.bottom - r.top);
    placed_.push_back(Placed{control, r, row.anchors});
    const Action* action = FindAction(row.action);
    const wchar_t* hint = row.hint ? row.hint : (action ? action->hint : nullptr);
    if (hint) AddTool(control, hint);
  }
  // New controls go below the earlier ones; a panel must lie beneath all that it holds.
  for (HWND panel : panels_) SetWindowPos(panel, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (def.initialFocus) initialFocus_ = savedFocus_ = Item(def.initialFocus);

  // Access keys stay underlined whatever the keyboard cues setting says.
  SendMessageW(hwnd_.get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
}

HWND Form::CreateControl(const ControlDef& row, const RECT& r) {
  const Action* action = FindAction(row.action);
  const wchar_t* text = row.text ? row.text : (action ? action->caption : L"");
  int id = row.action ? row.action : row.id;
  DWORD child = WS_CHILD | WS_VISIBLE | row.style;
  int w = r.right - r.left, h = r.bottom - r.top;
  HMENU idParam = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  HWND control = nullptr;

  auto create = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* caption, DWORD style, int cw) {
    return CreateWindowExW(exStyle, cls, caption, style, r.left, r.top, cw, h, hwnd_.get(), idParam, Instance(),
                           nullptr);
  };

  switch (row.kind) {
    case ControlKind::Label:
    case ControlKind::AccessLabel: {
      const DWORD prefix = row.kind == ControlKind::Label ? SS_NOPREFIX : 0;
      control = create(0, WC_STATICW, text, child | SS_LEFT | prefix, w ? w : LabelWidth(text));
      if (control && w == 0) autoSized_.insert(control);
      break;
    }
    case ControlKind::Link: {
      if (!linkFont_) linkFont_ = FormFont(dpi_, true);
      const int height = h ? h : TextSize(hwnd_.get(), linkFont_.get(), text, w).cy;
      control = CreateWindowExW(0, WC_STATICW, text, child | SS_LEFT | SS_NOPREFIX | SS_NOTIFY, r.left, r.top, w,
                                height, hwnd_.get(), idParam, Instance(), nullptr);
      if (control) links_.insert(control);
      break;
    }
    case ControlKind::Panel:
      // Painted by the form; it clips the controls above it, which it lies beneath.
      control = create(0, WC_STATICW, nullptr, child | WS_CLIPSIBLINGS | SS_OWNERDRAW, w);
      if (control) panels_.insert(control);
      break;
    case ControlKind::Edit:
      control = create(WS_EX_CLIENTEDGE, WC_EDITW, text, child | WS_TABSTOP | ES_AUTOHSCROLL, w);
      break;
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
      DWORD kind = row.kind == ControlKind::DefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      control = create(0, WC_BUTTONW, text, child | WS_TABSTOP | kind, w);
      int size = Scale(16);
      if (images_) ImageList_GetIconSize(images_.get(), &size, &size);
      common::UniqueHIcon icon;
      if (action && action->image >= 0 && images_) {
        icon.reset(ImageList_GetIcon(images_.get(), action->image, ILD_NORMAL));
      } else if (row.glyph) {
        icon.reset(static_cast<HICON>(
            LoadImageW(Instance(), MAKEINTRESOURCEW(row.glyph), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
      }
      if (icon) {
        auto list = GlyphList(icon.get(), size);
        BUTTON_IMAGELIST bil{list.get(), {Scale(4), 0, 0, 0}, BUTTON_IMAGELIST_ALIGN_LEFT};
        SendMessageW(control, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&bil));
        glyphs_.push_back(std::move(list));
      }
      break;
    }
    case ControlKind::SpeedButton: {
      control = create(0, TOOLBARCLASSNAMEW, nullptr,
                       child | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN, w);
      SendMessageW(control, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
      SendMessageW(control, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
      TBBUTTON button{};
      button.iBitmap = action && action->image >= 0 ? action->image : I_IMAGENONE;
      button.idCommand = id;
      button.fsState = TBSTATE_ENABLED;
      button.fsStyle = BTNS_BUTTON | BTNS_SHOWTEXT;
      button.iString = reinterpret_cast<INT_PTR>(text);
      SendMessageW(control, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
      SendMessageW(control, TB_SETBUTTONWIDTH, 0, MAKELPARAM(w, w));
      SendMessageW(control, TB_SETBUTTONSIZE, 0, MAKELPARAM(w, h));
      break;
    }
    case ControlKind::Image:
      control = create(0, WC_STATICW, nullptr, child | SS_OWNERDRAW, w);
      if (control) pictures_[control] = std::make_unique<Picture>(w, h);
      break;
    case ControlKind::ListView:
      control = create(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                       child | WS_TABSTOP | LVS_ICON | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE |
                           LVS_SHAREIMAGELISTS,
                       w);
      break;
    case ControlKind::ReportView:
      control = create(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                       child | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, w);
      // Not double-buffered: through a buffer, every paint takes about twice as long under Wine.
      if (control) ListView_SetExtendedListViewStyle(control, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
      break;
    case ControlKind::ComboBox:
      // Its window's height includes the dropped list: room for eight choices.
      control = CreateWindowExW(0, WC_COMBOBOXW, nullptr, child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                r.left, r.top, w, h * 9, hwnd_.get(), idParam, Instance(), nullptr);
      break;
    case ControlKind::StatusBar:
      control = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, child | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd_.get(), idParam,
                                Instance(), nullptr);
      if (control) {
        // One part across the whole bar: simple mode cannot be read back on every platform.
        int whole = -1;
        SendMessageW(control, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
      }
      break;
  }
  if (control && row.kind != ControlKind::SpeedButton) {
    HFONT font = row.kind == ControlKind::Link ? linkFont_.get() : font_.get();
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  return control;
}

void Form::AddTool(HWND control, const wchar_t* hint) {
  hints_[control] = hint;
  if (!tooltip_) return;
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = hwnd_.get();
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = const_cast<wchar_t*>(hint);
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void Form::AttachMenuImages(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW mii{sizeof mii};
    mii.fMask = MIIM_ID | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(menu, i, TRUE, &mii)) continue;
    if (mii.hSubMenu) {
      AttachMenuImages(mii.hSubMenu);
    } else if (const Action* action = FindAction(static_cast<int>(mii.wID)); action && action->image >= 0) {
      MENUITEMINFOW image{sizeof image};
      image.fMask = MIIM_BITMAP;
      image.hbmpItem = HBMMENU_CALLBACK;
      SetMenuItemInfoW(menu, i, TRUE, &image);
    }
  }
}

HWND Form::Item(int id) const {
  auto it = items_.find(id);
  return it == items_.end() ? nullptr : it->second;
}

void Form::Bind(int id, Control& control) const {
  control.hwnd_ = Item(id);
  control.autoSize_ = autoSized_.contains(control.hwnd_);
}

int Form::LabelWidth(std::wstring_view text) const {
  // Room for one more average character: some renderers (Wine's, for small Tahoma) place glyphs
  // a pixel wider apart than the metrics that measure them, which would cut off the last one.
  TEXTMETRICW metrics{};
  FontDc dc(hwnd_.get(), font_.get());
  GetTextMetricsW(dc.get(), &metrics);
  return TextSize(hwnd_.get(), font_.get(), text, 0).cx + metrics.tmAveCharWidth;
}

void Form::FitToText(HWND label) {
  std::wstring text(GetWindowTextLengthW(label) + 1, L'\0');
  text.resize(GetWindowTextW(label, text.data(), static_cast<int>(text.size())));
  const int width = LabelWidth(text);
  RECT r;
  GetWindowRect(label, &r);
  SetWindowPos(label, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (Placed& p : placed_)
    if (p.hwnd == label) p.design.right = p.design.left + width;
}

Picture& Form::PictureOf(int id) const { return *pictures_.at(Item(id)); }

const Action* Form::FindAction(int id) const {
  if (id == 0) return nullptr;
  for (const Action& a : actions_)
    if (a.id == id) return &a;
  return nullptr;
}

void Form::Show() {
  ShowWindow(hwnd_.get(), SW_SHOW);
  UpdateWindow(hwnd_.get());
  if (initialFocus_) ::SetFocus(initialFocus_);
}

int Form::ShowModal() {
  HWND owner = GetWindow(hwnd_.get(), GW_OWNER);
  modalResult_ = mrNone;
  modal_ = true;
  // EnableWindow answers whether the window was disabled before.
  bool reenable = owner && !EnableWindow(owner, FALSE);
  struct Restore {
    Form& form;
    HWND owner;
    bool reenable;
    ~Restore() {
      // The owner is enabled before the form hides, so that it becomes the active window.
      if (reenable) EnableWindow(owner, TRUE);
      if (form.hwnd_) ShowWindow(form.hwnd_.get(), SW_HIDE);
      form.modal_ = false;
    }
  } restore{*this, owner, reenable};
  Show();
  Application::Instance().RunModal(*this);
  return modalResult_;
}

void Form::Close() { SendMessageW(hwnd_.get(), WM_CLOSE, 0, 0); }

std::wstring Form::StatusText() const {
  if (!statusBar_) return statusText_;
  LRESULT length = SendMessageW(statusBar_, SB_GETTEXTLENGTHW, 0, 0);
  std::wstring text(LOWORD(length) + 1, L'\0');
  SendMessageW(statusBar_, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

void Form::SetStatusText(const std::wstring& text) {
  statusText_ = text;
  if (statusBar_) SendMessageW(statusBar_, SB_SETTEXTW, SBT_NOBORDERS, reinterpret_cast<LPARAM>(statusText_.c_str()));
}

std::wstring Form::TooltipText(HWND control) const {
  if (!tooltip_) return {};
  wchar_t buffer[512] = {};
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = hwnd_.get();
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = buffer;
  SendMessageW(tooltip_, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
  return buffer;
}

std::wstring Form::HintOf(HWND control) const {
  while (control && GetParent(control) != hwnd_.get()) control = GetParent(control);
  auto it = hints_.find(control);
  return it == hints_.end() ? std::wstring() : std::wstring(it->second);
}

void Form::ShowHintFor(HWND pointed) {
  std::wstring hint = HintOf(pointed);
  if (hint.empty()) hint = restingStatus_;
  if (hint != statusText_) SetStatusText(hint);
}

void Form::SetRestingStatus(std::wstring text) {
  restingStatus_ = std::move(text);
  SetStatusText(restingStatus_);
}

bool Form::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_MOUSEMOVE) ShowHintFor(msg.hwnd);
  if (accelerators_ && TranslateAcceleratorW(hwnd_.get(), accelerators_, &msg)) return true;
  // Enter presses a push button that has the focus, as Space does.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && msg.hwnd == GetFocus() &&
      (SendMessageW(msg.hwnd, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON)) {
    SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
    return true;
  }
  return IsDialogMessageW(hwnd_.get(), &msg) != FALSE;
}

void Form::ApplyAnchors() {
  if (placed_.empty()) return;
  RECT client;
  GetClientRect(hwnd_.get(), &client);
  int dx = client.right - designClient_.cx;
  int dy = client.bottom - designClient_.cy;
  HDWP defer = BeginDeferWindowPos(static_cast<int>(placed_.size()));
  for (const Placed& p : placed_) {
    RECT r = p.design;
    if (p.anchors & akRight) {
      if (!(p.anchors & akLeft)) r.left += dx;
      r.right += dx;
    }
    if (p.anchors & akBottom) {
      if (!(p.anchors & akTop)) r.top += dy;
      r.bottom += dy;
    }
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    if (defer)
      defer = DeferWindowPos(defer, p.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (defer) EndDeferWindowPos(defer);
}

void Form::OnCommand(int) {}

LRESULT Form::OnNotify(NMHDR*) { return 0; }

LRESULT Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      // Menu items and clicks of buttons and links (0), accelerators (1, from no control); other
      // notifications, a link's double click among them, are not commands.
      if (HIWORD(wParam) == 0 || (HIWORD(wParam) == 1 && lParam == 0)) {
        OnCommand(LOWORD(wParam));
        return 0;
      }
      break;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
      ApplyAnchors();
      if (statusBar_) SendMessageW(statusBar_, WM_SIZE, 0, 0);
      return 0;
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (mis->CtlType != ODT_MENU || !images_) break;
      int cx = 0, cy = 0;
      ImageList_GetIconSize(images_.get(), &cx, &cy);
      mis->itemWidth = cx;
      mis->itemHeight = cy;
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (dis->CtlType == ODT_MENU) {
        const Action* action = FindAction(static_cast<int>(dis->itemID));
        if (!action || action->image < 0 || !images_) break;
        int cx = 0, cy = 0;
        ImageList_GetIconSize(images_.get(), &cx, &cy);
        int y = dis->rcItem.top + (dis->rcItem.bottom - dis->rcItem.top - cy) / 2;
        ImageList_Draw(images_.get(), action->image, dis->hDC, dis->rcItem.left, y, ILD_TRANSPARENT);
        return TRUE;
      }
      if (panels_.contains(dis->hwndItem)) {
        RECT r = dis->rcItem;
        FillRect(dis->hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dis->hDC, &r, EDGE_ETCHED, BF_RECT);
        return TRUE;
      }
      if (auto it = pictures_.find(dis->hwndItem); it != pictures_.end()) {
        const Picture& p = *it->second;
        const RECT& r = dis->rcItem;
        StretchBlt(dis->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, p.Canvas(), 0, 0, p.Width(),
                   p.Height(), SRCCOPY);
        return TRUE;
      }
      break;
    }
    case WM_MENUSELECT: {
      UINT flags = HIWORD(wParam);
      const Action* action = nullptr;
      if (!(flags == 0xFFFF && lParam == 0) && !(flags & MF_POPUP)) action = FindAction(LOWORD(wParam));
      SetStatusText(action && action->hint ? action->hint : restingStatus_);
      return 0;
    }
    case WM_SETCURSOR:
      if (screen::Cursor() != screen::crDefault) {
        ::SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      if (LOWORD(lParam) == HTCLIENT && links_.contains(reinterpret_cast<HWND>(wParam))) {
        ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC:
      if (links_.contains(reinterpret_cast<HWND>(lParam))) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, LinkColor());
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_.get(), focus)) savedFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      if (savedFocus_ && IsWindow(savedFocus_) && IsChild(hwnd_.get(), savedFocus_)) ::SetFocus(savedFocus_);
      return 0;
    case WM_NEXTDLGCTL: {
      // As a dialog does: the access key of a label moves the focus this way.
      HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hwnd_.get(), GetFocus(), wParam != 0);
      if (next && IsChild(hwnd_.get(), next)) {
        ::SetFocus(next);
        if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(next, EM_SETSEL, 0, -1);
      }
      return 0;
    }
    case WM_CLOSE:
      if (modal_) {
        modalResult_ = mrCancel;
        return 0;
      }
      DestroyWindow(hwnd_.get());
      return 0;
    case WM_DESTROY:
      if (isMainForm_) PostQuitMessage(0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_.get(), msg, wParam, lParam);
}

int SystemDpi() {
  const common::WindowDc screen(nullptr);
  const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

void ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Application::Instance().Dispatch(msg);
  }
}

}  // namespace ui
