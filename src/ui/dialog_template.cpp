#include "ui/dialog_template.h"

#include <cstddef>
#include <cstring>

namespace ui {

DialogTemplate::DialogTemplate(const std::wstring& title, short width, short height, DWORD extraStyle) {
  DLGTEMPLATE header{};
  header.style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | extraStyle;
  header.cx = width;
  header.cy = height;
  Append(&header, sizeof header);
  Word(0);  // no menu
  Word(0);  // the system's dialog class
  Text(title);
  Word(9);
  Text(L"MS Shell Dlg");
}

void DialogTemplate::Item(const wchar_t* windowClass, const std::wstring& text, int id, DWORD style, short x, short y,
                          short cx, short cy) {
  // Each item starts on a DWORD.
  while (bytes_.size() % 4) bytes_.push_back(0);
  DLGITEMTEMPLATE item{};
  item.style = style | WS_CHILD | WS_VISIBLE;
  item.x = x;
  item.y = y;
  item.cx = cx;
  item.cy = cy;
  item.id = static_cast<WORD>(id);
  Append(&item, sizeof item);
  Text(windowClass);
  Text(text);
  Word(0);  // no creation data
  WORD count;
  std::memcpy(&count, bytes_.data() + offsetof(DLGTEMPLATE, cdit), sizeof count);
  ++count;
  std::memcpy(bytes_.data() + offsetof(DLGTEMPLATE, cdit), &count, sizeof count);
}

void DialogTemplate::Append(const void* data, size_t size) {
  const size_t at = bytes_.size();
  bytes_.resize(at + size);
  std::memcpy(bytes_.data() + at, data, size);
}

void DialogTemplate::Word(WORD w) { Append(&w, sizeof w); }

void DialogTemplate::Text(const std::wstring& text) { Append(text.c_str(), (text.size() + 1) * sizeof(wchar_t)); }

}  // namespace ui
