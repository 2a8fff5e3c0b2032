#pragma once
// Opening a document or address with the program the shell associates with it. Tests record
// the calls through ShellExecuteSeam instead of starting a browser.

#include <windows.h>

#include <string>

#include "common/seam.h"

namespace ui {

// One call of ShellExecuteW. Empty parameters or directory are passed as none (null).
struct ShellRequest {
  HWND owner = nullptr;
  std::wstring verb;
  std::wstring file;
  std::wstring parameters;
  std::wstring directory;
  int show = SW_SHOWNORMAL;
};

// Calls ShellExecuteW; its result is not examined, so a failure shows nothing.
void RunRealShellExecute(const ShellRequest& request);

// The shell call actually made.
extern common::Seam<void(const ShellRequest&)> ShellExecuteSeam;

}  // namespace ui
