#include "assoc/reg_value.h"

#include <cstring>

#include "common/handles.h"

namespace assoc {

std::optional<TRawValue> ReadRawValue(HKEY key, const std::wstring& name) {
  TRawValue value;
  // Most values fit a small buffer: one call reads them.
  DWORD size = 520;
  for (;;) {
    value.Data.assign(size, '\0');
    DWORD got = size;
    const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &value.Type,
                                         reinterpret_cast<BYTE*>(value.Data.data()), &got);
    if (result == ERROR_MORE_DATA) {
      size = got > size ? got : size * 2;
      continue;
    }
    if (result != ERROR_SUCCESS) return std::nullopt;
    value.Data.resize(got);
    return value;
  }
}

std::optional<std::wstring> TextOfValue(const TRawValue& value) {
  if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ) return std::nullopt;
  std::wstring text(value.Data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), value.Data.data(), text.size() * sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

std::optional<std::wstring> ReadRegText(HKEY key, const std::wstring& name) {
  const std::optional<TRawValue> value = ReadRawValue(key, name);
  if (!value) return std::nullopt;
  return TextOfValue(*value);
}

std::optional<std::wstring> ReadRegText(HKEY root, const std::wstring& subKey, const std::wstring& name) {
  common::UniqueHKey key;
  if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return std::nullopt;
  return ReadRegText(key.get(), name);
}

}  // namespace assoc
