#pragma once
// Writing the benchmarks' registry states.

#include <windows.h>

#include <string>

#include "common/handles.h"

// Sets the value name (null: the default value) of the open key to text as REG_SZ; false when it
// cannot.
inline bool SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Creates root\path when missing and sets its value name (null: the default value) to text as
// REG_SZ; false when it cannot.
inline bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  common::UniqueHKey key;
  return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) ==
             ERROR_SUCCESS &&
         SetText(key.get(), name, text);
}
