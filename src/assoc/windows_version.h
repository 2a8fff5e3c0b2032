#pragma once
// The version of the running Windows, which chooses the store implementation and tells whether
// Explorer looks at the user's choice first.

#include "common/seam.h"

namespace assoc {

struct WindowsVersion {
  unsigned Major = 0;
  unsigned Minor = 0;
};

// The version read once per process with GetVersionExW; 0.0 when it cannot be read.
WindowsVersion RunningWindowsVersion();

// True when a store for Windows 6.0 and later (with the per-user clean-up) serves version v.
constexpr bool UsesVistaStore(WindowsVersion v) { return v.Major >= 6; }

// True for Windows 8 (6.2) and later, whose Explorer takes the user's choice first and, for the
// enforced extensions, nothing but it.
constexpr bool HasUserChoices(WindowsVersion v) { return v.Major > 6 || (v.Major == 6 && v.Minor >= 2); }

// The version what Explorer does is judged for: RunningWindowsVersion(). Wine reports 6.1 unless
// its prefix says otherwise, so tests choose the version here.
extern common::Seam<WindowsVersion()> ExplorerWindowsVersion;

}  // namespace assoc
