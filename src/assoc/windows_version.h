#pragma once
// The version of the running Windows, which chooses the store implementation.

namespace assoc {

struct WindowsVersion {
  unsigned Major = 0;
  unsigned Minor = 0;
};

// The version read once per process with GetVersionExW; 0.0 when it cannot be read.
WindowsVersion RunningWindowsVersion();

// True when a store for Windows 6.0 and later (with the per-user clean-up) serves version v.
constexpr bool UsesVistaStore(WindowsVersion v) { return v.Major >= 6; }

}  // namespace assoc
