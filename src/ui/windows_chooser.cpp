#include "ui/windows_chooser.h"

#include <shlobj.h>

#include "ui/user_shell.h"

namespace ui {

namespace {

HRESULT RealOpenWithDialog(HWND owner, const std::wstring& extension) {
  OPENASINFO info{};
  info.pcszClass = extension.c_str();
  info.oaifInFlags = OAIF_ALLOW_REGISTRATION | OAIF_REGISTER_EXT;
  return SHOpenWithDialog(owner, &info);
}

}  // namespace

common::Seam<HRESULT(HWND, const std::wstring&)> OpenWithDialogSeam(&RealOpenWithDialog);

bool OpenDefaultAppsSettings() { return UserShellSeam(L"ms-settings:defaultapps"); }

ChooserOutcome OpenWindowsChooser(HWND owner, const std::wstring& extension) {
  // Closing the chooser without a choice is the user's answer, not a failure.
  const HRESULT shown = OpenWithDialogSeam(owner, extension);
  if (SUCCEEDED(shown) || shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return ChooserOutcome::Chooser;
  if (OpenDefaultAppsSettings()) return ChooserOutcome::Settings;
  return ChooserOutcome::Nothing;
}

}  // namespace ui
