#include "assoc/safety.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "assoc/link_extention_winxp.h"
#include "assoc/reg_paths.h"
#include "assoc/reg_value.h"
#include "assoc/assoc_texts.h"
#include "assoc/change_plan.h"
#include "assoc/type_users.h"
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

std::wstring FileTypeKeyOf(std::wstring_view extension) {
  // Only a name of one key of its own: the empty name would read the root, a "\" another key, and
  // the API would end a name holding a NUL there.
  if (extension.empty() || extension.find_first_of(std::wstring_view(L"\\\0", 2)) != std::wstring_view::npos)
    return {};
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

TLinkExtention::TUnlinkResult JudgeFileTypeKey(const std::wstring& fileTypeKey, std::wstring_view extension) {
  using TLinkExtention::TFileTypeKept;
  TLinkExtention::TUnlinkResult result;
  result.FileTypeKey = fileTypeKey;
  result.Kept = GuardOfFileType(fileTypeKey);
  if (fileTypeKey.empty() || result.Kept != TFileTypeKept::No || !KeyExists(fileTypeKey)) return result;
  if (ProgramTypes().count(FoldName(fileTypeKey))) {
    result.Kept = TFileTypeKept::SystemKey;
    return result;
  }
  const std::vector<TTypeReference> others = TTypeUsers().Others(fileTypeKey, {std::wstring(extension)});
  const auto first = [&](TReferenceKind kind) {
    return std::find_if(others.begin(), others.end(), [&](const TTypeReference& r) { return r.Kind == kind; });
  };
  if (const auto chosen = first(TReferenceKind::Choice); chosen != others.end()) {
    result.Kept = TFileTypeKept::Chosen;
    for (const TTypeReference& r : others)
      if (r.Kind == TReferenceKind::Choice) result.SharedWith.push_back(r.By);
  } else if (first(TReferenceKind::Extension) != others.end()) {
    result.Kept = TFileTypeKept::Shared;
    for (const TTypeReference& r : others)
      if (r.Kind == TReferenceKind::Extension) result.SharedWith.push_back(r.By);
  } else if (!others.empty()) {
    result.Kept = TFileTypeKept::UsedElsewhere;
    result.SharedWith.push_back(texts::Referrer(others.front()));
  }
  return result;
}

std::unordered_set<std::wstring> ProgramTypes() {
  std::unordered_set<std::wstring> types;
  for (std::wstring_view extension : kProgramExtensions)
    for (std::wstring& type : TypesNamedBy(extension)) types.insert(std::move(type));
  return types;
}

bool StartsPrograms(std::wstring_view extension) noexcept {
  return std::any_of(std::begin(kProgramExtensions), std::end(kProgramExtensions),
                     [&](std::wstring_view program) { return SameKeyName(extension, program); });
}

}  // namespace assoc
