#include "assoc/safety.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "assoc/link_extention_winxp.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

// Longer than any key name, so a default value that does not fit names no key.
constexpr DWORD kNameBufferLength = 257;

// FileTypeKeyOf for a name without NUL.
std::wstring DefaultKeyName(const wchar_t* extension) {
  common::UniqueHKey key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, extension, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return {};
  wchar_t text[kNameBufferLength + 1];
  DWORD type = REG_NONE;
  DWORD size = kNameBufferLength * sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
    return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  text[size / sizeof(wchar_t)] = L'\0';
  return text;
}

bool KeyExists(const std::wstring& name) {
  common::UniqueHKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

}  // namespace

bool SameKeyName(std::wstring_view a, std::wstring_view b) noexcept { return common::EqualNoCase(a, b); }

bool IsExtensionKeyName(std::wstring_view extension) noexcept {
  return IsLinkableExtension(extension) && extension.find(L'\0') == std::wstring_view::npos;
}

bool IsSystemClassKey(std::wstring_view name) noexcept {
  return std::any_of(std::begin(kSystemClassKeys), std::end(kSystemClassKeys),
                     [&](std::wstring_view system) { return SameKeyName(name, system); });
}

std::vector<std::wstring> ExtensionsNaming(std::wstring_view fileTypeKey, std::wstring_view except) {
  std::vector<std::wstring> found;
  wchar_t name[kNameBufferLength];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameBufferLength;
    const LONG result = RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || length == 0 || name[0] != L'.') continue;
    const std::wstring_view extension(name, length);
    if (SameKeyName(extension, except)) continue;
    if (SameKeyName(DefaultKeyName(name), fileTypeKey)) found.emplace_back(extension);
  }
  return found;
}

std::wstring FileTypeKeyOf(std::wstring_view extension) {
  // A name holding a NUL would be cut there by the API and name another key.
  if (extension.find(L'\0') != std::wstring_view::npos) return {};
  return DefaultKeyName(std::wstring(extension).c_str());
}

TLinkExtention::TFileTypeKept JudgeFileTypeKeyByName(std::wstring_view fileTypeKey) noexcept {
  using TLinkExtention::TFileTypeKept;
  if (fileTypeKey.empty()) return TFileTypeKept::No;
  if (fileTypeKey.find(L'\\') != std::wstring_view::npos) return TFileTypeKept::KeyPath;
  if (fileTypeKey[0] == L'.') return TFileTypeKept::Extention;
  if (IsSystemClassKey(fileTypeKey)) return TFileTypeKept::SystemKey;
  return TFileTypeKept::No;
}

TLinkExtention::TUnlinkResult JudgeFileTypeKey(const std::wstring& fileTypeKey, std::wstring_view extension) {
  using TLinkExtention::TFileTypeKept;
  TLinkExtention::TUnlinkResult result;
  result.FileTypeKey = fileTypeKey;
  result.Kept = JudgeFileTypeKeyByName(fileTypeKey);
  if (!fileTypeKey.empty() && result.Kept == TFileTypeKept::No && KeyExists(fileTypeKey)) {
    result.SharedWith = ExtensionsNaming(fileTypeKey, extension);
    if (!result.SharedWith.empty()) result.Kept = TFileTypeKept::Shared;
  }
  return result;
}

bool StartsPrograms(std::wstring_view extension) noexcept {
  return std::any_of(std::begin(kProgramExtensions), std::end(kProgramExtensions),
                     [&](std::wstring_view program) { return SameKeyName(extension, program); });
}

}  // namespace assoc
