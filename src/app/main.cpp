// Entry point: the application object, the main window and its message loop.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/UnitFormMain.h"
#include "assoc/windows_version.h"
#include "ui/application.h"

// The one main window, alive while the message loop runs.
TFormMain* FormMain = nullptr;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  auto& app = ui::Application::Instance();
  try {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    assoc::RunningWindowsVersion();
    app.SetTitle(kApplicationTitle);
    auto form = std::make_unique<TFormMain>();
    FormMain = form.get();
    app.Run(*form);
    FormMain = nullptr;
  } catch (...) {
    app.HandleException();
  }
  return 0;
}
