// The About box: its labels from the version block, layout and frame, the link, its keys and
// close box in a real modal run, and the main window's command that shows it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "about/UnitFormAboutBox.h"
#include "about/app_info.h"
#include "about_fixture.h"
#include "app/UnitFormMain.h"
#include "common/exception.h"
#include "common/handles.h"
#include "resource.h"
#include "support/ui_doubles.h"
#include "ui/application.h"
#include "ui/clipboard.h"
#include "ui/user_shell.h"

namespace {

using Id = TFormAboutBox::ControlId;

constexpr wchar_t kCaption[] = L"バージョン情報";

// Records the addresses handed to the user's desktop shell, and answers whether it opened them.
class ShellRecorder {
 public:
  explicit ShellRecorder(bool opens = true)
      : scope_(ui::UserShellSeam.Replace([this, opens](const std::wstring& address) {
          calls_.push_back(address);
          return opens;
        })) {}
  const std::vector<std::wstring>& Calls() const { return calls_; }

 private:
  std::vector<std::wstring> calls_;
  common::Seam<bool(const std::wstring&)>::Scope scope_;
};

class AboutBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    ui::Application::Instance().SetTitle(kApplicationTitle);
    owner = std::make_unique<TFormMain>(96);
    owner->Show();
  }
  void TearDown() override {
    owner.reset();
    ui::ProcessMessages();
  }

  testsupport::BoxScript boxes;
  std::unique_ptr<TFormMain> owner;
};

RECT ClientRectOf(HWND control, HWND form) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The width of a label fitted to text in the control's own font: the text's and one average
// character's.
int FittedWidth(HWND control, const std::wstring& text) {
  const common::WindowDc dc(control);
  HGDIOBJ old = SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  SelectObject(dc.get(), old);
  return size.cx + metrics.tmAveCharWidth;
}

TEST_F(AboutBoxTest, LabelsShowTheTitleTheFileVersionTheCopyrightAndTheAddress) {
  TFormAboutBox box(owner->Handle(), 96);
  // The application title, not the block's "ProductName" (which reads 設定 for 編集).
  EXPECT_EQ(box.ProductName.Text(), L"Tavrelo 関連づけ編集ソフト");
  EXPECT_EQ(box.Version.Text(), L"0.0.2.0");
  EXPECT_EQ(box.Copyright.Text(), L"Copyright " + TkAppInfo().GetInfo(TkAppInfo::aiLegalCopyright));
  EXPECT_EQ(box.Copyright.Text(), L"Copyright Tavrelo Works");
  EXPECT_EQ(box.URL.Text(), L"https://tavrelo.example/");

  // The three labels fit their texts, not the placeholders of the layout.
  for (const ui::Control* label : {&box.ProductName, &box.Version, &box.Copyright}) {
    RECT r = ClientRectOf(label->Handle(), box.Handle());
    EXPECT_EQ(r.right - r.left, FittedWidth(label->Handle(), label->Text())) << testing::PrintToString(label->Text());
  }
}

TEST_F(AboutBoxTest, LaysOutItsControlsInAFixedFrameCentredOnTheScreenAtEveryDpi) {
  struct Row {
    int id;
    int left, top, width, height;  // at 96 DPI; 0 for a length that fits the text
  };
  // Panel1 stands at (8, 8); the five controls inside it are placed relative to it.
  const Row rows[] = {
      {Id::IDC_PANEL1, 8, 8, 281, 137},
      {Id::IDC_PROGRAMICON, 8 + 8, 8 + 8, 65, 57},
      {Id::IDC_PRODUCTNAME, 8 + 88, 8 + 16, 0, 13},
      {Id::IDC_VERSION, 8 + 88, 8 + 40, 0, 13},
      {Id::IDC_COPYRIGHT, 8 + 8, 8 + 80, 0, 13},
      {Id::IDC_URL, 8 + 24, 8 + 99, 228, 0},
      {Id::IDC_OKBUTTON, 111, 160, 75, 25},
  };
  for (int dpi : {96, 144}) {
    TFormAboutBox box(owner->Handle(), dpi);
    auto scale = [dpi](int v) { return MulDiv(v, dpi, 96); };
    RECT client;
    GetClientRect(box.Handle(), &client);
    EXPECT_EQ(client.right, scale(298)) << dpi;
    EXPECT_EQ(client.bottom, scale(198)) << dpi;
    for (const Row& row : rows) {
      RECT r = ClientRectOf(box.Item(row.id), box.Handle());
      EXPECT_EQ(r.left, scale(row.left)) << row.id << " at " << dpi;
      EXPECT_EQ(r.top, scale(row.top)) << row.id << " at " << dpi;
      if (row.width) {
        EXPECT_EQ(r.right - r.left, scale(row.width)) << row.id << " at " << dpi;
      }
      if (row.height) {
        EXPECT_EQ(r.bottom - r.top, scale(row.height)) << row.id << " at " << dpi;
      }
    }

    // The icon's 48 x 48 frame at the picture's top-left corner, the rest in the panel's colour.
    const ui::Picture& icon = box.ProgramIcon();
    const int size = scale(48);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    bool drawn = false, beyond = false;
    for (int y = 0; y < icon.Height(); ++y)
      for (int x = 0; x < icon.Width(); ++x) {
        const bool inFrame = x < size && y < size;
        (inFrame ? drawn : beyond) |= icon.Pixel(x, y) != face;
      }
    EXPECT_TRUE(drawn) << dpi;
    EXPECT_FALSE(beyond) << dpi;

    // Centred on the screen's work area, owned by the main window.
    RECT work, frame;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(box.Handle(), &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 1);
    EXPECT_EQ(GetWindow(box.Handle(), GW_OWNER), owner->Handle());
  }

  TFormAboutBox box(owner->Handle(), 96);
  wchar_t caption[64] = {};
  GetWindowTextW(box.Handle(), caption, 64);
  EXPECT_STREQ(caption, kCaption);
  // A fixed dialog frame: caption and close box, no sizing border, no minimise or maximise.
  const LONG_PTR style = GetWindowLongPtrW(box.Handle(), GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(box.Handle(), GWL_EXSTYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
  // No tooltips anywhere.
  for (int id : {Id::IDC_URL, Id::IDC_OKBUTTON, Id::IDC_PRODUCTNAME})
    EXPECT_EQ(box.TooltipText(box.Item(id)), L"") << id;

  // The panel: an outer lowered and an inner raised bevel round the window's colour, beneath
  // the controls it holds.
  HWND panel = box.Item(Id::IDC_PANEL1);
  RECT r;
  GetClientRect(panel, &r);
  ui::Picture drawn(r.right, r.bottom);
  SendMessageW(panel, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(drawn.Canvas()), PRF_CLIENT);
  const int w = r.right, h = r.bottom;
  const COLORREF shadow = GetSysColor(COLOR_3DSHADOW), light = GetSysColor(COLOR_3DHILIGHT);
  EXPECT_EQ(drawn.Pixel(w / 2, 0), shadow) << "outer top";
  EXPECT_EQ(drawn.Pixel(w / 2, h - 1), light) << "outer bottom";
  EXPECT_EQ(drawn.Pixel(1, h / 2), light) << "inner left";
  EXPECT_EQ(drawn.Pixel(w - 2, h / 2), shadow) << "inner right";
  EXPECT_EQ(drawn.Pixel(w / 2, h / 2), GetSysColor(COLOR_BTNFACE)) << "inside";
  EXPECT_EQ(GetWindow(panel, GW_HWNDNEXT), nullptr);

  // The OK button is the default push button; the only one.
  EXPECT_EQ(GetWindowLongPtrW(box.Item(Id::IDC_OKBUTTON), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetDlgItem(box.Handle(), IDCANCEL), nullptr);
}

TEST_F(AboutBoxTest, TheAddressLooksAndPointsLikeALink) {
  TFormAboutBox box(owner->Handle(), 96);
  HWND url = box.URL.Handle();
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(url, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_TRUE(font.lfUnderline);
  EXPECT_STREQ(font.lfFaceName, L"Tahoma");

  // The system's hyperlink colour, unless that cannot be read on the face colour (as in Wine's
  // default scheme); the link is legible in every case.
  auto luminance = [](COLORREF c) { return (299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c)) / 1000; };
  const int faceLuminance = luminance(GetSysColor(COLOR_BTNFACE));
  const COLORREF system = GetSysColor(COLOR_HOTLIGHT);
  const common::WindowDc urlDc(url);
  HDC dc = urlDc.get();
  SendMessageW(box.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(url));
  const COLORREF link = GetTextColor(dc);
  EXPECT_GE(std::abs(luminance(link) - faceLuminance), ui::kLegibleContrast);
  if (std::abs(luminance(system) - faceLuminance) >= ui::kLegibleContrast) {
    EXPECT_EQ(link, system);
  } else {
    EXPECT_EQ(link, RGB(0, 102, 204));
  }
  // The other labels keep the ordinary text colour.
  SendMessageW(box.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(box.Copyright.Handle()));
  EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));

  const LPARAM hit = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_TRUE(SendMessageW(box.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(url), hit));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_FALSE(SendMessageW(box.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(box.Version.Handle()), hit));
}

TEST_F(AboutBoxTest, EachClickHandsTheAddressToTheUsersShellAndTheBoxStaysOpen) {
  ShellRecorder shell;
  TFormAboutBox box(owner->Handle(), 96);
  box.Show();
  HWND url = box.URL.Handle();
  auto click = [url] {
    SendMessageW(url, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    SendMessageW(url, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  };
  click();
  click();
  // A double click is one click more, not two.
  SendMessageW(url, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageW(url, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  // The click opens whatever the label shows.
  box.URL.SetText(L"https://other.example/page");
  box.URLClick();

  EXPECT_EQ(shell.Calls(), (std::vector<std::wstring>{L"https://tavrelo.example/", L"https://tavrelo.example/",
                                                     L"https://other.example/page"}));
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_EQ(box.ModalResult(), ui::mrNone);
  EXPECT_TRUE(IsWindowVisible(box.Handle()));
}

TEST_F(AboutBoxTest, AnAddressTheUsersShellDoesNotOpenGoesOnTheClipboardAndABoxSaysSo) {
  ShellRecorder shell(false);
  TFormAboutBox box(owner->Handle(), 96);
  box.Show();
  boxes.Then(ui::mrOk);
  box.URLClick();

  EXPECT_EQ(shell.Calls(), std::vector<std::wstring>{L"https://tavrelo.example/"});
  const auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].owner, box.Handle());
  EXPECT_EQ(shown[0].kind, ui::BoxKind::Information);
  EXPECT_EQ(shown[0].text,
            L"「https://tavrelo.example/」を開けませんでした。アドレスをクリップボードにコピーしましたので、"
            L"ブラウザーに貼り付けて開いて下さい。");
  {
    ui::ClipboardScope clipboard(nullptr);
    ASSERT_TRUE(clipboard.IsOpen());
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_TRUE(data);
    EXPECT_STREQ(static_cast<const wchar_t*>(GlobalLock(data)), L"https://tavrelo.example/");
    GlobalUnlock(data);
  }
  EXPECT_EQ(box.ModalResult(), ui::mrNone);
  EXPECT_TRUE(IsWindowVisible(box.Handle()));
}

TEST_F(AboutBoxTest, EnterClosesWithOkAndEscapeDoesNothing) {
  TFormAboutBox box(owner->Handle(), 96);
  box.Show();
  HWND ok = box.Item(Id::IDC_OKBUTTON);
  EXPECT_EQ(GetFocus(), ok);

  MSG escape{ok, WM_KEYDOWN, VK_ESCAPE, 0};
  box.PreTranslateMessage(escape);
  ui::ProcessMessages();
  EXPECT_EQ(box.ModalResult(), ui::mrNone);
  EXPECT_TRUE(IsWindowVisible(box.Handle()));

  MSG enter{ok, WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_TRUE(box.PreTranslateMessage(enter));
  EXPECT_EQ(box.ModalResult(), ui::mrOk);
}

struct ModalCase {
  const char* name;
  std::vector<std::pair<UINT, WPARAM>> posted;  // messages posted to the box's OK button
  int result;
};

TEST_F(AboutBoxTest, ShowModalEndsWithOkForEnterAndCancelForTheCloseBoxButNotForEscape) {
  const ModalCase cases[] = {
      // Had Escape closed the box, the run would have ended with Cancel before Enter came.
      {"escape, then enter", {{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYUP, VK_ESCAPE}, {WM_KEYDOWN, VK_RETURN}}, ui::mrOk},
      {"a click on OK", {{BM_CLICK, 0}}, ui::mrOk},
      {"escape, then the close box", {{WM_KEYDOWN, VK_ESCAPE}, {0, 0}}, ui::mrCancel},
  };
  for (const ModalCase& c : cases) {
    TFormAboutBox box(owner->Handle(), 96);
    bool ownerEnabled = true;
    testsupport::WindowDriver driver(testsupport::WindowCaptioned(kCaption), [&](HWND hwnd) {
      ownerEnabled = IsWindowEnabled(owner->Handle()) != FALSE;
      HWND ok = GetDlgItem(hwnd, IDOK);
      for (auto [msg, wParam] : c.posted) {
        // 0 stands for the close box.
        if (msg == 0) {
          PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
          PostMessageW(ok, msg, wParam, 0);
        }
      }
    });
    EXPECT_EQ(box.ShowModal(), c.result) << c.name;
    EXPECT_TRUE(driver.Wait()) << c.name;
    EXPECT_FALSE(ownerEnabled) << c.name << ": the box is modal";
    EXPECT_TRUE(IsWindowEnabled(owner->Handle())) << c.name;
  }
}

TEST_F(AboutBoxTest, TheAboutCommandShowsTheBoxModallyAndDestroysIt) {
  HWND shown = nullptr, shownOwner = nullptr;
  bool ownerEnabled = true;
  std::vector<std::wstring> texts;
  testsupport::WindowDriver driver(testsupport::WindowCaptioned(kCaption), [&](HWND hwnd) {
    shown = hwnd;
    shownOwner = GetWindow(hwnd, GW_OWNER);
    ownerEnabled = IsWindowEnabled(owner->Handle()) != FALSE;
    for (int id : {Id::IDC_PRODUCTNAME, Id::IDC_VERSION, Id::IDC_COPYRIGHT, Id::IDC_URL}) {
      wchar_t text[128] = {};
      GetWindowTextW(GetDlgItem(hwnd, id), text, 128);
      texts.push_back(text);
    }
    PostMessageW(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
  });
  SendMessageW(owner->Handle(), WM_COMMAND, IDM_ABOUT_VERSION, 0);
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(shownOwner, owner->Handle());
  EXPECT_FALSE(ownerEnabled) << "the box is modal";
  EXPECT_FALSE(IsWindow(shown)) << "the box outlived its command";
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"Tavrelo 関連づけ編集ソフト", L"0.0.2.0", L"Copyright Tavrelo Works",
                                              L"https://tavrelo.example/"}));
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(AboutBoxTest, AnExecutableWithoutVersionBlockGivesNoBox) {
  try {
    TFormAboutBox box(owner->Handle(), TestData(L"icons3.dll"), 96);
    ADD_FAILURE() << "an About box without version information";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"バージョン情報を取得できません");
  }
  EXPECT_EQ(FindWindowW(nullptr, kCaption), nullptr);
}

}  // namespace
