#include "assoc/reg_paths.h"
#include "assoc/reg_snapshot.h"

#include <windows.h>

#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "common/handles.h"

namespace assoc {

namespace {

[[noreturn]] void CannotRead(std::wstring_view path) { throw Exception(texts::CannotReadKey(path)); }

// The name under which parent stores the sub-key name (the registry keeps the letter case it was
// created with), or name itself when parent does not list it.
std::wstring StoredName(HKEY root, std::wstring_view parentPath, std::wstring_view name) {
  common::UniqueHKey parent;
  if (RegOpenKeyExW(root, std::wstring(parentPath).c_str(), 0, KEY_ENUMERATE_SUB_KEYS, parent.put()) != ERROR_SUCCESS)
    return std::wstring(name);
  wchar_t stored[kKeyNameBuffer];
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameBuffer;
    const LONG result = RegEnumKeyExW(parent.get(), index, stored, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return std::wstring(name);
    if (result == ERROR_SUCCESS && SameKeyName(std::wstring_view(stored, length), name))
      return std::wstring(stored, length);
  }
}

// Appends the section of key and those of its sub-keys, depth first. Sub-keys are opened
// relative to their parent, so the cost per key does not grow with the depth.
void AppendTree(HKEY key, const std::wstring& path, TRegDocument& document) {
  TRegKey section;
  section.Path = path;
  section.Values = ReadKeyValues(key, path);
  document.Keys.push_back(std::move(section));
  for (const std::wstring& subName : ReadSubKeyNames(key, path)) {
    common::UniqueHKey sub;
    const std::wstring subPath = path + L"\\" + subName;
    if (RegOpenKeyExW(key, subName.c_str(), 0, KEY_READ, sub.put()) != ERROR_SUCCESS) CannotRead(subPath);
    AppendTree(sub.get(), subPath, document);
  }
}

}  // namespace

bool RegKeyExists(std::wstring_view path) noexcept {
  std::wstring_view rest;
  const HKEY root = RootOfRegPath(path, &rest);
  if (!root) return false;
  common::UniqueHKey key;
  return RegOpenKeyExW(root, std::wstring(rest).c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

void AppendKeySnapshot(std::wstring_view path, TRegDocument& document) {
  std::wstring_view rest;
  const HKEY root = RootOfRegPath(path, &rest);
  if (!root || path.find(L'\0') != std::wstring_view::npos) CannotRead(path);

  common::UniqueHKey key;
  const LONG opened = RegOpenKeyExW(root, std::wstring(rest).c_str(), 0, KEY_READ, key.put());
  if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) CannotRead(path);

  std::wstring stored(path);
  if (key && !rest.empty()) {
    const size_t cut = rest.rfind(L'\\');
    const std::wstring_view parentPath = cut == std::wstring_view::npos ? std::wstring_view() : rest.substr(0, cut);
    const std::wstring_view name = cut == std::wstring_view::npos ? rest : rest.substr(cut + 1);
    stored = std::wstring(path.substr(0, path.size() - name.size())) + StoredName(root, parentPath, name);
  }
  TRegKey removal;
  removal.Path = stored;
  removal.Remove = true;
  document.Keys.push_back(std::move(removal));
  if (key) AppendTree(key.get(), stored, document);
}

}  // namespace assoc
