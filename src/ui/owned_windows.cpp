#include "ui/owned_windows.h"

namespace ui {

namespace {

struct Search {
  HWND owner;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectOwned(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  if (GetWindow(window, GW_OWNER) == search->owner && IsWindowEnabled(window)) search->found->push_back(window);
  return TRUE;
}

}  // namespace

OwnedWindowsDisabled::OwnedWindowsDisabled(HWND owner) {
  Search search{owner, &disabled_};
  if (owner) EnumThreadWindows(GetCurrentThreadId(), CollectOwned, reinterpret_cast<LPARAM>(&search));
  for (HWND window : disabled_) EnableWindow(window, FALSE);
}

OwnedWindowsDisabled::~OwnedWindowsDisabled() {
  for (HWND window : disabled_)
    if (IsWindow(window)) EnableWindow(window, TRUE);
}

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    // Input, and a request to close that did not come as input, would act on a window whose
    // thread is in the middle of a change.
    const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                       (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
                       (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCXBUTTONDBLCLK) ||
                       msg.message == WM_SYSCOMMAND || msg.message == WM_CLOSE || msg.message == WM_COMMAND;
    if (input) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace ui
