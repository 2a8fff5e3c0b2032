#pragma once
// Writing the benchmarks' registry states.

#include <windows.h>

#include <string>

#include "common/handles.h"

// Creates root\path when missing and sets its value name (null: the default value) to text as
// REG_SZ.
inline void SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  common::UniqueHKey key;
  RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
  RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
