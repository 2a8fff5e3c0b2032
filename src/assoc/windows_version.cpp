#include "assoc/windows_version.h"

#include <windows.h>

namespace assoc {

namespace {

WindowsVersion ReadWindowsVersion() noexcept {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // GetVersionExW is the documented source of the version here.
#endif
  if (!GetVersionExW(&info)) return {};
  return {info.dwMajorVersion, info.dwMinorVersion};
}

}  // namespace

WindowsVersion RunningWindowsVersion() {
  static const WindowsVersion version = ReadWindowsVersion();
  return version;
}

}  // namespace assoc
