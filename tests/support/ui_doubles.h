#pragma once
// Stand-ins that answer the window layer's boxes, file dialogs and help calls in tests, and a
// driver that works a real dialog from another thread the way a user would.

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "ui/file_dialog.h"
#include "ui/form.h"
#include "ui/help.h"
#include "ui/message_box.h"
#include "ui/preview_dialog.h"

namespace testsupport {

// Answers message boxes from a script and records every box. A box that the script does
// not expect fails the test and is answered Cancel. A change's preview counts as a box of its
// own (確認, はい/いいえ, its question as the text), and is also kept whole.
class BoxScript {
 public:
  BoxScript();
  // The next box is answered with answer.
  BoxScript& Then(int answer);
  const std::vector<ui::BoxRequest>& Shown() const { return shown_; }
  // The boxes shown so far, then forgets them.
  std::vector<ui::BoxRequest> Take();
  // The previews shown so far.
  const std::vector<ui::PreviewRequest>& Previews() const { return previews_; }

 private:
  int Answer(const ui::BoxRequest& request);

  std::deque<int> answers_;
  std::vector<ui::BoxRequest> shown_;
  std::vector<ui::PreviewRequest> previews_;
  common::Seam<int(const ui::BoxRequest&)>::Scope scope_;
  common::Seam<int(const ui::PreviewRequest&)>::Scope previewScope_;
};

// Answers file dialogs from a script (a path, or nothing for Cancel) and records requests.
class FileDialogScript {
 public:
  FileDialogScript();
  FileDialogScript& Then(std::optional<std::wstring> answer);
  const std::vector<ui::FileDialogRequest>& Shown() const { return shown_; }

 private:
  std::deque<std::optional<std::wstring>> answers_;
  std::vector<ui::FileDialogRequest> shown_;
  common::Seam<std::optional<std::wstring>(const ui::FileDialogRequest&)>::Scope scope_;
};

// Records help calls instead of opening the viewer.
class HelpRecorder {
 public:
  HelpRecorder();
  const std::vector<ui::HelpRequest>& Calls() const { return calls_; }

 private:
  std::vector<ui::HelpRequest> calls_;
  common::Seam<void(const ui::HelpRequest&)>::Scope scope_;
};

// What a user sees of a dialog window: its caption, its texts and its buttons.
struct DialogView {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::vector<std::wstring> texts;  // visible static texts, in child order
  struct Button {
    int id;
    std::wstring caption;
  };
  std::vector<Button> buttons;  // visible ones, in child order
  RECT rect{};
  HWND owner = nullptr;
  bool ownerEnabled = false;  // while the dialog was up
  bool answered = false;      // it went away after the press
};

// The text a window holds itself (its caption, a button's or a static text's label), read
// without sending the window a message, so it never waits for a busy thread.
std::wstring CaptionOf(HWND hwnd);

// Looks once for a visible top-level window of process processId that match accepts; null when
// there is none. For checks that no such window is up.
HWND FindVisibleWindow(const std::function<bool(HWND)>& match, DWORD processId = GetCurrentProcessId());

// Waits (up to timeoutMs) for a top-level window of process processId that match accepts and that
// is complete, so that what is read from it and pressed in it counts: visible, enabled, the active
// window of its thread (which a message box becomes only once its buttons are renamed), with a
// caption and visible children, and with its caption, place and children (ids, texts, visibility,
// enabled state) alike at two looks in a row. Null when none came.
HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs, DWORD processId = GetCurrentProcessId());

// Presses the button press of dialog, or with press 0 its close box, as a user would, and waits
// (up to timeoutMs) for the dialog to go away; when it stays a while, presses once more through the
// button's command (or WM_CLOSE). Answers whether the dialog went away.
bool PressAndConfirm(HWND dialog, int press, DWORD timeoutMs);

// Waits (up to timeoutMs) on another thread for a complete top-level window of process processId
// (this process unless given) that match accepts (see WaitForWindow), then runs act on it from that
// thread, as another program would work the window. The destructor waits for the thread.
class WindowDriver {
 public:
  WindowDriver(std::function<bool(HWND)> match, std::function<void(HWND)> act, DWORD timeoutMs = 10000,
               DWORD processId = GetCurrentProcessId());
  ~WindowDriver();
  WindowDriver(const WindowDriver&) = delete;
  WindowDriver& operator=(const WindowDriver&) = delete;
  // Waits for the thread; answers whether the window came.
  bool Wait();

 private:
  static DWORD WINAPI Thread(void* self);
  std::function<bool(HWND)> match_;
  std::function<void(HWND)> act_;
  DWORD timeoutMs_;
  DWORD processId_;
  bool found_ = false;
  common::UniqueKernelHandle thread_;
};

// A dialog (class #32770) of process processId (this process unless given), read once complete,
// then answered with PressAndConfirm: the button with id press is pressed, or, with press 0, the
// dialog is closed through its close box.
class DialogDriver {
 public:
  explicit DialogDriver(int press, DWORD timeoutMs = 10000, DWORD processId = GetCurrentProcessId());
  // The dialog as it was seen, once answered; hwnd is null when none came.
  const DialogView& Wait();

 private:
  DialogView view_;
  WindowDriver driver_;
};

// A file dialog of this process, once complete: types text into its file name field and presses
// OK, or, with no text, presses Cancel.
class FileDialogDriver {
 public:
  explicit FileDialogDriver(std::optional<std::wstring> typed, DWORD timeoutMs = 10000);
  // Answers whether a file dialog came and went away after the answer.
  bool Wait() { return driver_.Wait() && answered_; }

 private:
  bool answered_ = false;
  WindowDriver driver_;
};

// One dialog of a DialogSequence: typed goes into its file name field first when given (a file
// dialog), then the button press is pressed (0: its close box).
struct DialogStep {
  int press;
  std::optional<std::wstring> typed;
};

// Dialogs of this process answered one after another from another thread, as a user works
// through them: each is read once complete and confirmed gone before the next is looked for.
class DialogSequence {
 public:
  explicit DialogSequence(std::vector<DialogStep> steps, DWORD timeoutMs = 10000);
  // The dialogs as they were seen, in order; fewer than the steps when one did not come.
  const std::vector<DialogView>& Wait();

 private:
  std::vector<DialogView> views_;
  WindowDriver driver_;
};

// A window of class #32770 (the drivers look only at the process they were given).
bool IsDialogOfThisProcess(HWND hwnd);
// The visible top-level window of this process with the given caption.
std::function<bool(HWND)> WindowCaptioned(std::wstring caption);

// The text of a list view's cell, the list view of any thread of this process.
std::wstring CellOf(HWND view, int item, int column);

// True when every pixel of the picture is white (an empty icon preview).
bool IsAllWhite(const ui::Picture& picture);

// Reads a dialog window's caption, static texts and buttons.
DialogView ReadDialog(HWND dialog);

}  // namespace testsupport
