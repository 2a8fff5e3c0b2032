#pragma once
// A dialog box of the system's dialog class built in memory: a window layer for small dialogs
// that screen readers and UI automation treat like the system's own boxes.

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

class DialogTemplate {
 public:
  // A modal frame with a caption and a close box, centred, in the dialog font, of width and
  // height in dialog units; extraStyle is added to the frame's style.
  DialogTemplate(const std::wstring& title, short width, short height, DWORD extraStyle);

  // Adds a visible child of windowClass ("BUTTON", "EDIT", "STATIC") with its text, id and style.
  void Item(const wchar_t* windowClass, const std::wstring& text, int id, DWORD style, short x, short y, short cx,
            short cy);

  // The template, for DialogBoxIndirectParamW; valid while this object lives unchanged.
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Append(const void* data, size_t size);
  void Word(WORD w);
  void Text(const std::wstring& text);

  std::vector<char> bytes_;
};

}  // namespace ui
