#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"

#include <cstring>

#include "assoc/assoc_texts.h"
#include "assoc/reg_key.h"
#include "common/handles.h"

namespace assoc {

namespace {

[[noreturn]] void CannotRead(std::wstring_view path) { throw Exception(texts::CannotReadKey(path)); }

}  // namespace

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
  if (OpenRegKeyBelow(root, subKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return std::nullopt;
  return ReadRegText(key.get(), name);
}

std::vector<TRegValue> ReadKeyValues(HKEY key, const std::wstring& path) {
  DWORD count = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData, nullptr,
                       nullptr) != ERROR_SUCCESS)
    CannotRead(path);
  std::vector<TRegValue> values;
  std::wstring name(maxName + 1, L'\0');
  std::string data(maxData, '\0');
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    const LONG result =
        RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_MORE_DATA) {
      // A value grew since the count was taken.
      name.resize(name.size() * 2 + 16);
      data.resize(data.size() * 2 + 16);
      continue;
    }
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) CannotRead(path);
    TRegValue value;
    value.Name.assign(name.data(), nameLength);
    value.Type = type;
    value.Data.assign(data.data(), size);
    values.push_back(std::move(value));
    ++index;
  }
  return values;
}

bool HasRegValue(HKEY key, const wchar_t* name) noexcept {
  return key && RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<std::wstring> ReadSubKeyNames(HKEY key, const std::wstring& path) {
  std::vector<std::wstring> names;
  wchar_t name[kKeyNameBuffer];
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameBuffer;
    const LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return names;
    if (result != ERROR_SUCCESS) CannotRead(path);
    names.emplace_back(name, length);
  }
}

}  // namespace assoc
