#include "common/cursor.h"

#include <windows.h>

namespace screen {
namespace {
short g_cursor = crDefault;
}

short Cursor() noexcept { return g_cursor; }

void SetCursor(short id) noexcept {
  g_cursor = id;
  if (id == crDefault) {
    // Moving the pointer onto itself makes the window under it answer WM_SETCURSOR again.
    POINT pt;
    if (GetCursorPos(&pt)) SetCursorPos(pt.x, pt.y);
  } else {
    ::SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  }
}

}  // namespace screen

TCursorHourGlass::TCursorHourGlass() noexcept : FSavedCursor(screen::Cursor()) {
  screen::SetCursor(screen::crHourGlass);
}

TCursorHourGlass::~TCursorHourGlass() { screen::SetCursor(FSavedCursor); }
