#include "assoc/safety.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "assoc/link_extention_winxp.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "common/handles.h"
#include "common/text.h"

namespace assoc {

namespace {

// Longer than any key name, so a default value that does not fit names no key.
constexpr DWORD kNameBufferLength = 257;

// FileTypeKeyOf for a name without NUL; a text too long to name a key names none.
std::wstring DefaultKeyName(const wchar_t* extension) {
  std::wstring name = ReadRegText(HKEY_CLASSES_ROOT, extension, L"").value_or(L"");
  return name.size() < kNameBufferLength ? name : std::wstring();
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

TLinkExtention::TFileTypeKept GuardOfFileType(std::wstring_view fileTypeKey) {
  using TLinkExtention::TFileTypeKept;
  const TFileTypeKept byName = JudgeFileTypeKeyByName(fileTypeKey);
  if (byName != TFileTypeKept::No || fileTypeKey.empty() || fileTypeKey.find(L'\0') != std::wstring_view::npos)
    return byName;
  const std::wstring name(fileTypeKey);
  if (IsProtocolKey(name)) return TFileTypeKept::Protocol;
  if (KeyExists(name + L"\\CLSID")) return TFileTypeKept::ComClass;
  return TFileTypeKept::No;
}

bool IsProtocolKey(std::wstring_view key) {
  if (key.find(L'\0') != std::wstring_view::npos) return false;
  common::UniqueHKey open;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, std::wstring(key).c_str(), 0, KEY_QUERY_VALUE, open.put()) == ERROR_SUCCESS &&
         HasRegValue(open.get(), L"URL Protocol");
}

std::vector<std::wstring> ChoicesNaming(std::wstring_view fileTypeKey, std::wstring_view except) {
  std::vector<std::wstring> found;
  common::UniqueHKey fileExts;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, paths::kFileExtsKey, 0, KEY_ENUMERATE_SUB_KEYS, fileExts.put()) != ERROR_SUCCESS)
    return found;
  wchar_t name[kNameBufferLength];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameBufferLength;
    const LONG result = RegEnumKeyExW(fileExts.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    const std::wstring extension(name, length);
    if (SameKeyName(extension, except)) continue;
    for (const wchar_t* choice : {L"UserChoiceLatest", L"UserChoice"}) {
      const std::optional<std::wstring> progId = ReadRegText(fileExts.get(), extension + L"\\" + choice, L"ProgId");
      if (!progId) continue;
      if (SameKeyName(*progId, fileTypeKey)) found.push_back(extension);
      break;
    }
  }
  return found;
}

TLinkExtention::TUnlinkResult JudgeFileTypeKey(const std::wstring& fileTypeKey, std::wstring_view extension) {
  using TLinkExtention::TFileTypeKept;
  TLinkExtention::TUnlinkResult result;
  result.FileTypeKey = fileTypeKey;
  result.Kept = GuardOfFileType(fileTypeKey);
  if (fileTypeKey.empty() || result.Kept != TFileTypeKept::No || !KeyExists(fileTypeKey)) return result;
  result.SharedWith = ChoicesNaming(fileTypeKey, extension);
  if (!result.SharedWith.empty()) {
    result.Kept = TFileTypeKept::Chosen;
    return result;
  }
  result.SharedWith = ExtensionsNaming(fileTypeKey, extension);
  if (!result.SharedWith.empty()) result.Kept = TFileTypeKept::Shared;
  return result;
}

bool StartsPrograms(std::wstring_view extension) noexcept {
  return std::any_of(std::begin(kProgramExtensions), std::end(kProgramExtensions),
                     [&](std::wstring_view program) { return SameKeyName(extension, program); });
}

}  // namespace assoc
