// Entry point: the application object, the main window and its message loop.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "about/app_info.h"
#include "app/UnitFormMain.h"
#include "assoc/backup_store.h"
#include "assoc/change_engine.h"
#include "assoc/user_override.h"
#include "assoc/windows_version.h"
#include "common/libraries.h"
#include "crash/crash_handler.h"
#include "ui/application.h"

namespace {

// The faults no command catches go to the reporter; the errors the tool names keep its box.
void InstallReporter() {
  crash::TCrashSettings settings;
  settings.folder = assoc::StorePlace(assoc::kReportStore);
  try {
    const TkAppInfo info;
    settings.product = info.GetInfo(TkAppInfo::aiProductName);
    settings.version = info.GetInfo(TkAppInfo::aiFileVersion);
  } catch (...) {
    settings.product = kApplicationTitle;
  }
  settings.lastChange = &assoc::LastChangeState;
  settings.uploadUrl = [] { return CrashUploadUrl(); };
  crash::Install(std::move(settings));
  ui::Application::Instance().SetFaultHandler([](const std::wstring& what) { crash::ReportFailure(what); });
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything loads a library by name: the tool may run elevated, and whoever can write
  // beside it must not choose what it loads.
  common::RestrictLibrarySearch();
  auto& app = ui::Application::Instance();
  std::unique_ptr<TFormMain> form;
  try {
    InstallReporter();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    assoc::RunningWindowsVersion();
    // A session elevated with another administrator's password works on the desktop's account.
    app.SetTitle(kApplicationTitle + assoc::TargetTitle(assoc::TargetAccount()));
    form = std::make_unique<TFormMain>();
    app.Run(*form);
  } catch (...) {
    app.HandleException();
  }
  return 0;
}
