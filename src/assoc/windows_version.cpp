#include "assoc/windows_version.h"

#include <windows.h>

namespace assoc {

namespace {

// The version GetVersionExW reports; 0.0 when it cannot be read.
WindowsVersion ReadWindowsVersion() noexcept {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  // MSVC marks GetVersionExW deprecated; its answer is still what chooses the store.
#ifdef _MSC_VER
#pragma warning(push)
#pragma warning(disable : 4996)
#endif
  const BOOL read = GetVersionExW(&info);
#ifdef _MSC_VER
#pragma warning(pop)
#endif
  if (!read) return {};
  return {info.dwMajorVersion, info.dwMinorVersion};
}

}  // namespace

WindowsVersion RunningWindowsVersion() {
  static const WindowsVersion version = ReadWindowsVersion();
  return version;
}

common::Seam<WindowsVersion()> ExplorerWindowsVersion(&RunningWindowsVersion);

}  // namespace assoc
