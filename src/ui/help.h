#pragma once
// The HTML Help viewer, loaded at run time from the system folder's hhctrl.ocx. Tests replace it
// through HelpSeam.

#include <windows.h>

#include <string>

#include "common/seam.h"

namespace ui {

// One call of HtmlHelpW: the help file, the command (HH_DISPLAY_TOC or HH_HELP_CONTEXT) and
// its data (the context number).
struct HelpRequest {
  HWND owner = nullptr;
  std::wstring file;
  UINT command = 0;
  DWORD_PTR data = 0;
};

inline constexpr UINT kHelpDisplayToc = 0x0001;   // HH_DISPLAY_TOC
inline constexpr UINT kHelpContext = 0x000F;      // HH_HELP_CONTEXT

// Calls HtmlHelpW when the system's hhctrl.ocx can be loaded (never one of that name from
// elsewhere); whatever the viewer does is all that happens.
void RunRealHelp(const HelpRequest& request);

// The help call actually made.
extern common::Seam<void(const HelpRequest&)> HelpSeam;

}  // namespace ui
