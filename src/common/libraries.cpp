#include "common/libraries.h"

#include <string>

namespace common {

bool RestrictLibrarySearch() {
  // Looked up rather than imported, so that the tool still starts where it is missing.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  return set && set(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

UniqueHModule LoadSystemLibrary(const wchar_t* name) {
  UniqueHModule library(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  // Without KB2533623 Windows 7 refuses the flag; a full path finds the same file.
  if (!library && GetLastError() == ERROR_INVALID_PARAMETER) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
      library.reset(LoadLibraryExW((std::wstring(system, length) + L"\\" + name).c_str(), nullptr,
                                   LOAD_WITH_ALTERED_SEARCH_PATH));
  }
  return library;
}

}  // namespace common
