#pragma once
// Keeps the windows an owner owns from taking input while the owner asks a question, so that
// nothing in them changes what the question is about.

#include <windows.h>

#include <vector>

namespace ui {

class OwnedWindowsDisabled {
 public:
  // Disables every enabled window of this thread that owner owns.
  explicit OwnedWindowsDisabled(HWND owner);
  // Enables them again (those still there).
  ~OwnedWindowsDisabled();
  OwnedWindowsDisabled(const OwnedWindowsDisabled&) = delete;
  OwnedWindowsDisabled& operator=(const OwnedWindowsDisabled&) = delete;

 private:
  std::vector<HWND> disabled_;
};

// Dispatches the messages waiting in this thread's queue, dropping keyboard and mouse input and
// posted commands and requests to close, so that windows repaint and answer while a long step
// runs on their thread and nothing acts on them meanwhile.
void PumpWaitingMessages();

}  // namespace ui
