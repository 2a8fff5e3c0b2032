#include "common/libraries.h"

#include <delayimp.h>

#include <string>

namespace common {

namespace {

// The delay-load helper asks this before it loads a library: answers the system folder's, never
// one found by the search. Null (no such library there) leaves it to the helper's own search,
// which RestrictLibrarySearch has limited to the system folder.
FARPROC WINAPI LoadDelayedFromSystem(unsigned notice, PDelayLoadInfo info) {
  if (notice != dliNotePreLoadLibrary) return nullptr;
  std::wstring name;
  for (const char* c = info->szDll; *c; ++c) name += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(name.c_str()).release());
}

}  // namespace

bool RestrictLibrarySearch() {
  // Looked up rather than imported, so that the tool still starts where it is missing.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  return set && set(LOAD_LIBRARY_SEARCH_SYSTEM32);
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

// Defined with the type delayimp.h declares: const under MSVC, writable under MinGW.
decltype(__pfnDliNotifyHook2) __pfnDliNotifyHook2 = common::LoadDelayedFromSystem;
