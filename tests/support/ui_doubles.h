#pragma once
// Stand-ins that answer the window layer's boxes, file dialogs and help calls in tests, and a
// driver that works a real dialog from another thread the way a user would.

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/file_dialog.h"
#include "ui/help.h"
#include "ui/message_box.h"

namespace testsupport {

// Answers message boxes from a script and records every box. A box that the script does
// not expect fails the test and is answered Cancel.
class BoxScript {
 public:
  BoxScript();
  // The next box is answered with answer.
  BoxScript& Then(int answer);
  const std::vector<ui::BoxRequest>& Shown() const { return shown_; }
  // The boxes shown so far, then forgets them.
  std::vector<ui::BoxRequest> Take();

 private:
  std::deque<int> answers_;
  std::vector<ui::BoxRequest> shown_;
  common::Seam<int(const ui::BoxRequest&)>::Scope scope_;
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
};

// Waits (up to timeoutMs) on another thread for a visible dialog (class #32770) of this
// process, reads it, then acts on it: presses the button with id press, or, with press 0,
// closes it through its close box. Run() starts it; Wait() joins and returns what was seen.
class DialogDriver {
 public:
  explicit DialogDriver(int press, DWORD timeoutMs = 10000);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  // The dialog as it was seen, once the driver has finished; hwnd is null when none came.
  const DialogView& Wait();

 private:
  static DWORD WINAPI Thread(void* self);
  int press_;
  DWORD timeoutMs_;
  DialogView view_;
  HANDLE thread_ = nullptr;
};

// Reads a dialog window's caption, static texts and buttons.
DialogView ReadDialog(HWND dialog);

}  // namespace testsupport
