#pragma once
// Windows' own chooser of the program that opens an extension, and its settings page for
// default apps: the only places where a user's choice gets the Hash that Windows trusts.

#include <windows.h>

#include <string>

#include "common/seam.h"

namespace ui {

// What OpenWindowsChooser could open.
enum class ChooserOutcome { Chooser, Settings, Nothing };

// Windows' chooser for the class ".ext" (SHOpenWithDialog, with registration allowed and for the
// extension), modal to owner. Tests answer it (Wine answers E_NOTIMPL).
extern common::Seam<HRESULT(HWND owner, const std::wstring& extension)> OpenWithDialogSeam;

// Windows' settings of default apps (ms-settings:defaultapps), opened by the user's own desktop
// shell (UserShellSeam), never from this process; false when that shell did not open them.
bool OpenDefaultAppsSettings();

// The chooser for extension; where it fails (older Windows, or not there), Windows' settings of
// default apps (OpenDefaultAppsSettings); Nothing when neither opened.
ChooserOutcome OpenWindowsChooser(HWND owner, const std::wstring& extension);

}  // namespace ui
