#pragma once
// Our thin window layer: a top-level window built from a table of controls, with anchors,
// actions bound to menu items and buttons, tooltips and status-bar hints, tab order,
// accelerators, the busy cursor and modal runs.

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"
#include "ui/message_box.h"

namespace ui {

// Edges whose distance to the same edge of the window a control keeps when the window is
// resized. Left and right together stretch the control; so do top and bottom.
enum Anchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

enum class ControlKind {
  Label,          // static text; a width of 0 sizes it to its text (with room for one more
                  // character), again whenever a bound Control sets a new one
  Edit,           // single-line text field
  Button,         // push button, with an optional glyph left of its caption
  DefaultButton,  // the push button that Enter presses
  SpeedButton,    // flat button with image and caption that never takes the focus
  Image,          // picture drawn from a Picture bound to it, stretched to the control
  ListView,       // large-icon list with single selection, selection kept visible
  StatusBar,      // one plain text area along the bottom edge
  Panel,          // frame with a double bevel (inner raised, outer lowered) in the form's colour,
                  // beneath the controls laid out inside it
  Link,           // text shown as a link: underlined, in the system's hyperlink colour where that
                  // is legible (kLegibleContrast), hand pointer; a click is the row's command. It
                  // wraps at its width; a height of 0 fits the wrapped text
  ReportView,     // list of rows and columns whose items the form supplies (owner data: the form
                  // adds the columns, sets the item count and answers LVN_GETDISPINFO); several
                  // rows may be selected, a click selects the whole row, the selection stays
                  // visible without the focus
  AccessLabel,    // a Label whose "&" underlines its access key, which moves the focus to the
                  // control that follows it in the table
  ComboBox,       // a field with a drop-down list of choices the form adds (CBS_DROPDOWNLIST in
                  // style: choices only); the height is the closed field's, the list drops below
};

// The least difference in luminance (0 to 255) between a link's colour and the face colour: a
// system hyperlink colour closer to the face than this is replaced by the classic link blue.
inline constexpr int kLegibleContrast = 96;

// Left, top, width and height at 96 DPI, in the form's design coordinates.
struct Bounds {
  int left, top, width, height;
};

// One row of a form's layout. Controls are created in table order, which is also the tab
// order of those that take the focus.
struct ControlDef {
  int id;
  ControlKind kind;
  Bounds bounds;
  unsigned anchors;
  const wchar_t* text = nullptr;  // caption; nullptr takes the bound action's caption
  const wchar_t* hint = nullptr;  // tooltip and status text; nullptr takes the action's hint
  int action = 0;                 // command the control runs and shows (0: none)
  int glyph = 0;                  // icon resource shown when no action image applies
  DWORD style = 0;                // extra window styles (ES_READONLY, ES_NUMBER, ...)
};

// A command: caption, hint (tooltip and status text alike) and image in the form's list.
struct Action {
  int id;
  const wchar_t* caption;
  const wchar_t* hint;
  int image;  // -1: none
};

enum class FormPosition { ScreenCenter, OwnerCenter };

struct FormDef {
  const wchar_t* caption;
  int clientWidth, clientHeight;  // at 96 DPI, including the menu band
  int menuBand;                   // design rows above this lie in the native menu bar
  DWORD style;
  DWORD exStyle;
  int menu;          // menu resource, 0 for none
  int accelerators;  // accelerator resource, 0 for none
  bool tooltips;
  FormPosition position;
  int initialFocus;  // control id that has the focus when the form is shown (0: none)
};

// A bitmap the size of an image control that code draws on and the control shows.
class Picture {
 public:
  // A white picture of width x height pixels.
  Picture(int width, int height);
  HDC Canvas() const { return dc_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void Fill(COLORREF color);
  COLORREF Pixel(int x, int y) const;

 private:
  int width_, height_;
  common::UniqueHBitmap bitmap_;
  common::UniqueHdc dc_;  // deleted first, which releases the selected bitmap
};

// A child control of a form, read and written through its window.
class Control {
 public:
  HWND Handle() const { return hwnd_; }
  std::wstring Text() const;
  // Replaces the text; a label that sizes itself to its text takes the new text's width.
  void SetText(std::wstring_view text) const;
  void SetFocus() const;
  bool Focused() const;

 private:
  friend class Form;
  HWND hwnd_ = nullptr;
  bool autoSize_ = false;
};

class Form {
 public:
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND Handle() const { return hwnd_.get(); }
  // The control of a layout row, or null.
  HWND Item(int id) const;
  int Dpi() const { return dpi_; }
  // A length at 96 DPI scaled to this form's DPI.
  int Scale(int length) const { return MulDiv(length, dpi_, 96); }
  HIMAGELIST Images() const { return images_.get(); }

  // Shows the form, focusing its initial control.
  void Show();
  // Shows the form modal to its owner and runs it until a modal result is set; then hides it.
  int ShowModal();
  // Asks the window to close (as its close box does).
  void Close();
  int ModalResult() const { return modalResult_; }
  // Ends a modal run with result.
  void SetModalResult(int result) { modalResult_ = result; }

  // The text the status bar shows now.
  std::wstring StatusText() const;
  // The tooltip registered for a control (empty when it has none).
  std::wstring TooltipText(HWND control) const;
  // The hint of a control (or of the control that contains it), empty when it has none.
  std::wstring HintOf(HWND control) const;
  // Shows in the status bar the hint of the control under the pointer, or the resting text
  // when it has none.
  void ShowHintFor(HWND pointed);
  // Makes text the status bar's resting text (empty at first), which it shows now and whenever
  // no hint is shown.
  void SetRestingStatus(std::wstring text);

  // Gives the form the first look at a message of its thread meant for it or one of its
  // controls: accelerators, then dialog keys (Tab, Enter, Esc). True when it was consumed.
  virtual bool PreTranslateMessage(MSG& msg);

  // The form that owns a window (the window itself or its top-level ancestor), or null.
  static Form* FromHandle(HWND hwnd);

 protected:
  explicit Form(int dpi) : dpi_(dpi) {}

  // Builds the window and its controls. The form keeps images, which supplies the actions'
  // images for menu items and buttons.
  void CreateForm(HWND owner, const FormDef& def, std::span<const ControlDef> controls, std::span<const Action> actions,
                  common::UniqueHImageList images);
  // Makes control show the window of row id.
  void Bind(int id, Control& control) const;
  // The picture that the image control of row id shows.
  Picture& PictureOf(int id) const;
  const Action* FindAction(int id) const;

  // Handles one message; the default covers layout, hints, menus, cursor, focus and closing.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // A command from a menu item, accelerator or button (the action id, or the row id of a
  // button without action).
  virtual void OnCommand(int id);
  // A notification from a control.
  virtual LRESULT OnNotify(NMHDR* header);
  // True when closing the window ends the application's message loop.
  bool isMainForm_ = false;

 private:
  friend class Application;
  friend class Control;
  struct Placed {
    HWND hwnd;
    RECT design;  // scaled, in client coordinates at the design client size
    unsigned anchors;
  };
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // The window class of every form, registered on first use.
  static ATOM ClassAtom();
  HWND CreateControl(const ControlDef& row, const RECT& r);
  void AddTool(HWND control, const wchar_t* hint);
  void ApplyAnchors();
  void SetStatusText(const std::wstring& text);
  void AttachMenuImages(HMENU menu);
  // The width of a label that sizes itself to text: the text's, plus one average character.
  int LabelWidth(std::wstring_view text) const;
  // Gives a self-sizing label the width of its current text.
  void FitToText(HWND label);

  int dpi_;
  common::UniqueHwnd hwnd_;  // from WM_NCCREATE to WM_NCDESTROY
  int modalResult_ = mrNone;
  bool modal_ = false;
  SIZE designClient_{};
  HWND initialFocus_ = nullptr;
  HWND savedFocus_ = nullptr;
  HWND statusBar_ = nullptr;
  HWND tooltip_ = nullptr;
  HACCEL accelerators_ = nullptr;
  std::wstring statusText_;
  std::wstring restingStatus_;
  std::span<const Action> actions_;
  std::map<int, HWND> items_;
  std::map<HWND, const wchar_t*> hints_;
  std::map<HWND, std::unique_ptr<Picture>> pictures_;
  std::set<HWND> autoSized_;
  std::set<HWND> links_;
  std::set<HWND> panels_;
  std::vector<Placed> placed_;
  common::UniqueHFont font_;
  common::UniqueHFont linkFont_;  // the form's font underlined, made for the first link
  common::UniqueHImageList images_;
  std::vector<common::UniqueHImageList> glyphs_;
};

// The DPI of the screen that forms are laid out for.
int SystemDpi();

// Handles every message waiting in this thread's queue, then returns.
void ProcessMessages();

}  // namespace ui
