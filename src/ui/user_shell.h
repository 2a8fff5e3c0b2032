#pragma once
// Opening an address (a web page, a mailto: address, a settings page such as
// ms-settings:defaultapps) through the shell of the user's desktop, never from this process. The
// tool runs elevated: a protocol resolved here would go through classes that the user's programs
// can plant (HKEY_CURRENT_USER\Software\Classes) and run their command as administrator. The
// desktop's own Explorer resolves and runs it instead, with the user's rights.

#include <string>

#include "common/seam.h"

namespace ui {

// Hands address to the desktop's shell, to be opened with its default verb: IShellWindows (a
// local server only, so nothing is loaded into this process) → the desktop's window → its top-level
// browser → the active view's background → the view's application, IShellDispatch2::ShellExecute.
// COM is joined apartment-threaded on the calling thread for the call. True when that shell
// opened the address; false, with nothing opened from this process, when no desktop shell
// answers, when it has nothing that opens the address, or when COM cannot start on this thread.
bool OpenInDesktopShell(const std::wstring& address);

// The launch actually made; tests answer it.
extern common::Seam<bool(const std::wstring& address)> UserShellSeam;

// What to tell the user when a web address did not open: the address, and, when copied, that it
// is on the clipboard to paste into the browser.
std::wstring AddressNotOpened(const std::wstring& address, bool copied);

}  // namespace ui
