#include "assoc/reg_paths.h"
#include "assoc/reg_snapshot.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assoc/assoc_texts.h"
#include "assoc/reg_key.h"
#include "assoc/reg_value.h"
#include "assoc/safety.h"
#include "common/handles.h"

namespace assoc {

namespace {

[[noreturn]] void CannotRead(std::wstring_view path, std::wstring_view reason = {}) {
  throw Exception(texts::CannotReadKey(path) + std::wstring(reason));
}

// Raises for an open that did not succeed: a link is named as one.
[[noreturn]] void CannotOpen(std::wstring_view path, LONG result) {
  CannotRead(path, result == kKeyIsLink ? texts::kPolicyLink : std::wstring_view());
}

// The number of key names below the root in path ("HKEY_CLASSES_ROOT\.txt" holds one).
size_t DepthOf(std::wstring_view path) { return static_cast<size_t>(std::count(path.begin(), path.end(), L'\\')); }

// Appends the section of key and those of its sub-keys, depth first, without recursion. Each
// sub-key is opened by its one name below its open parent and never through a link, so the walk
// reads only the tree that is there (a link could lead it anywhere, or round in a circle) and the
// cost per key does not grow with the depth.
void AppendTree(common::UniqueHKey key, const std::wstring& path, TRegDocument& document) {
  struct Open {
    common::UniqueHKey key;
    std::wstring path;
    std::vector<std::wstring> names;
    size_t next = 0;
  };
  const auto enter = [&document](common::UniqueHKey opened, std::wstring at) {
    if (DepthOf(at) > kMaxKeyDepth) CannotRead(at, texts::KeyTooDeep(kMaxKeyDepth));
    TRegKey section;
    section.Path = at;
    section.Values = ReadKeyValues(opened.get(), at);
    document.Keys.push_back(std::move(section));
    std::vector<std::wstring> names = ReadSubKeyNames(opened.get(), at);
    return Open{std::move(opened), std::move(at), std::move(names)};
  };
  std::vector<Open> stack;
  stack.push_back(enter(std::move(key), path));
  while (!stack.empty()) {
    Open& top = stack.back();
    if (top.next == top.names.size()) {
      stack.pop_back();
      continue;
    }
    const std::wstring& name = top.names[top.next++];
    std::wstring subPath = top.path + L"\\" + name;
    common::UniqueHKey sub;
    if (const LONG opened = OpenRegChild(top.key.get(), name, KEY_READ, sub); opened != ERROR_SUCCESS)
      CannotOpen(subPath, opened);
    stack.push_back(enter(std::move(sub), std::move(subPath)));
  }
}

}  // namespace

bool RegKeyExists(std::wstring_view path) noexcept {
  common::UniqueHKey key;
  return OpenRegKey(path, KEY_QUERY_VALUE, key) != ERROR_FILE_NOT_FOUND;
}

void AppendKeySnapshot(std::wstring_view path, TRegDocument& document) {
  std::wstring_view rest;
  if (!RootOfRegPath(path, &rest) || path.find(L'\0') != std::wstring_view::npos) CannotRead(path);

  common::UniqueHKey key;
  const LONG opened = OpenRegKey(path, KEY_READ, key);
  if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) CannotOpen(path, opened);

  std::wstring stored(path);
  if (key && !rest.empty()) {
    // The key's own name as stored; the path as given where the registry does not tell it.
    const size_t cut = path.rfind(L'\\');
    if (const std::wstring name = StoredKeyName(key.get()); SameKeyName(name, path.substr(cut + 1)))
      stored = std::wstring(path.substr(0, cut + 1)) + name;
  }
  TRegKey removal;
  removal.Path = stored;
  removal.Remove = true;
  document.Keys.push_back(std::move(removal));
  if (key) AppendTree(std::move(key), stored, document);
}

}  // namespace assoc
