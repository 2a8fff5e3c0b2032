// Entry point: the application object, the main window and its message loop.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/UnitFormMain.h"
#include "assoc/windows_version.h"
#include "common/libraries.h"
#include "ui/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything loads a library by name: the tool may run elevated.
  common::RestrictLibrarySearch();
  auto& app = ui::Application::Instance();
  try {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    assoc::RunningWindowsVersion();
    app.SetTitle(kApplicationTitle);
    auto form = std::make_unique<TFormMain>();
    app.Run(*form);
  } catch (...) {
    app.HandleException();
  }
  return 0;
}
