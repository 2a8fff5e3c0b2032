#include "ui/help.h"

#include "common/libraries.h"

namespace ui {

common::Seam<void(const HelpRequest&)> HelpSeam(&RunRealHelp);

void RunRealHelp(const HelpRequest& request) {
  using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
  // The viewer's windows live on after the call, so the library stays loaded for the run.
  static const common::UniqueHModule library = common::LoadSystemLibrary(L"hhctrl.ocx");
  if (!library) return;
  auto fn = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(library.get(), "HtmlHelpW")));
  if (fn) fn(request.owner, request.file.c_str(), request.command, request.data);
}

}  // namespace ui
