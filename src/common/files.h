#pragma once
// Questions about files that the window code and the settings files share.

#include <windows.h>

#include <string>

namespace common {

// True when name denotes an existing file that is not a directory (a file that others hold open
// counts); false for an empty name.
inline bool FileExists(const std::wstring& name) {
  if (name.empty()) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace common
