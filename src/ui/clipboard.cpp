#include "ui/clipboard.h"

#include <cstring>

#include "common/handles.h"

namespace ui {

bool PutOnClipboard(HWND owner, const std::wstring& text) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    ClipboardScope clipboard(owner);
    if (!clipboard.IsOpen()) {
      Sleep(20);
      continue;
    }
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    common::UniqueHGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return false;
    void* target = GlobalLock(memory.get());
    if (!target) return false;
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory.get());
    if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
    // The clipboard owns the memory now.
    memory.release();
    return true;
  }
  return false;
}

}  // namespace ui
