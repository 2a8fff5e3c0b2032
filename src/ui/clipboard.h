#pragma once
// The clipboard: opened for one change and closed on every way out, and text put on it.

#include <windows.h>

#include <string>

namespace ui {

// The clipboard, opened for owner while it lives.
class ClipboardScope {
 public:
  explicit ClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ClipboardScope() {
    if (open_) CloseClipboard();
  }
  ClipboardScope(const ClipboardScope&) = delete;
  ClipboardScope& operator=(const ClipboardScope&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// Replaces the clipboard's content by text (CF_UNICODETEXT); false when the clipboard cannot be
// had or takes nothing. Another program holding it for a moment is waited for a little.
bool PutOnClipboard(HWND owner, const std::wstring& text);

}  // namespace ui
