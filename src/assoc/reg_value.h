#pragma once
// Reading one registry value: the one place that sizes, fetches and terminates it.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "assoc/reg_file.h"

namespace assoc {

// A value's type and bytes, exactly as the registry holds them.
struct TRawValue {
  DWORD Type = REG_NONE;
  std::string Data;
};

// The value name of key (empty: the default value). Nothing when it is absent or cannot be read;
// a value that grows between the calls is asked for again. Never raises but for memory.
std::optional<TRawValue> ReadRawValue(HKEY key, const std::wstring& name);

// True when the open key holds value name, of any type; false for a null key. Never raises.
bool HasRegValue(HKEY key, const wchar_t* name) noexcept;

// The text of value name of key: REG_SZ or REG_EXPAND_SZ, up to its first NUL, environment
// references left as they are, with a terminator the data may lack. Nothing when the value is
// absent, of another type or cannot be read. Never raises but for memory.
std::optional<std::wstring> ReadRegText(HKEY key, const std::wstring& name);

// The same for the key at subKey below root, opened for reading only, one key name at a time and
// never through a registry link.
std::optional<std::wstring> ReadRegText(HKEY root, const std::wstring& subKey, const std::wstring& name);

// The text of a value's bytes when its type is REG_SZ or REG_EXPAND_SZ, up to the first NUL.
std::optional<std::wstring> TextOfValue(const TRawValue& value);

// All values of an open key, in the registry's order (a value that grows meanwhile is asked for
// again). Raises Exception (CannotReadKey naming path) when the key cannot be read completely.
std::vector<TRegValue> ReadKeyValues(HKEY key, const std::wstring& path);

// The names of an open key's sub-keys, in the registry's order. Raises as ReadKeyValues.
std::vector<std::wstring> ReadSubKeyNames(HKEY key, const std::wstring& path);

}  // namespace assoc
