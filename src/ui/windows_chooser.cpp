#include "ui/windows_chooser.h"

#include <shellapi.h>
#include <shlobj.h>

namespace ui {

namespace {

HRESULT RealOpenWithDialog(HWND owner, const std::wstring& extension) {
  OPENASINFO info{};
  info.pcszClass = extension.c_str();
  info.oaifInFlags = OAIF_ALLOW_REGISTRATION | OAIF_REGISTER_EXT;
  return SHOpenWithDialog(owner, &info);
}

bool RealOpenAddress(HWND owner, const std::wstring& address) {
  return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
         32;
}

}  // namespace

common::Seam<HRESULT(HWND, const std::wstring&)> OpenWithDialogSeam(&RealOpenWithDialog);
common::Seam<bool(HWND, const std::wstring&)> OpenAddressSeam(&RealOpenAddress);

ChooserOutcome OpenWindowsChooser(HWND owner, const std::wstring& extension) {
  // Closing the chooser without a choice is the user's answer, not a failure.
  const HRESULT shown = OpenWithDialogSeam(owner, extension);
  if (SUCCEEDED(shown) || shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return ChooserOutcome::Chooser;
  if (OpenAddressSeam(owner, L"ms-settings:defaultapps")) return ChooserOutcome::Settings;
  return ChooserOutcome::Nothing;
}

}  // namespace ui
