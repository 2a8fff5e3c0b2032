#pragma once
// Carries out change requests in a window, the same way for every window: the refusal or the
// notes, the questions and the preview, the change itself under a busy cursor with its progress
// in the status line while the windows the owner owns take no input, the outcome, Windows' own
// place where the request ends there, and whatever follows.

#include <windows.h>

#include <functional>
#include <string>

#include "common/change_request.h"

namespace ui {

class ChangeRunner {
 public:
  // owner asks the questions and owns the windows kept from input; status shows a text in its
  // status line (empty: its resting text); changed is called after each outcome that changed the
  // registry, and after Windows' own place was opened, so that the windows read it again.
  ChangeRunner(HWND owner, std::function<void(const std::wstring&)> status, std::function<void()> changed);

  // A tick for a long planning before the request exists: text in the status line, and the windows
  // repaint and answer.
  std::function<void()> Tick(const std::wstring& text) const;

  // Carries out request and each request after it; answers the outcome of the last one (Declined
  // when a question or the preview was not answered はい and nothing follows). No exception of
  // the operation's passes: an Apply that raises counts as Failed, its message shown.
  common::TOutcome Run(const common::TChangeRequest& request) const;

 private:
  HWND owner_;
  std::function<void(const std::wstring&)> status_;
  std::function<void()> changed_;
};

}  // namespace ui
