#include "assoc/registry_accessor.h"

#include <iterator>

#include "common/exception.h"

namespace assoc {

namespace {

// The longest key name Windows accepts; Wine takes one more, which would make paths that
// fail on Windows work here.
constexpr size_t kMaxKeyNameLength = 255;

// False for a path that Windows would not take as written: a NUL, at which the API would end
// the path early (so that "\0x" would name the base key itself), or a key name longer than
// Windows allows.
bool IsUsableKeyPath(std::wstring_view path) noexcept {
  if (path.find(L'\0') != std::wstring_view::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find(L'\\', start);
    const size_t length = (end == std::wstring_view::npos ? path.size() : end) - start;
    if (length > kMaxKeyNameLength) return false;
    if (end == std::wstring_view::npos) return true;
    start = end + 1;
  }
}

// The key that path starts from: the root for a path with a leading "\" (which is dropped
// from path), else the open key, else the root.
HKEY ResolveBase(HKEY open, HKEY root, std::wstring_view& path) noexcept {
  if (!path.empty() && path.front() == L'\\') {
    path.remove_prefix(1);
    return root;
  }
  return open ? open : root;
}

// Removes the sub-key name of parent with its sub-keys, deepest first, and answers whether
// name itself was deleted. Sub-keys are opened relative to their parent's handle, so the
// cost per key does not grow with the depth of the path.
bool RemoveTree(HKEY parent, const std::wstring& name, REGSAM access) noexcept {
  common::UniqueHKey key;
  if (RegOpenKeyExW(parent, name.c_str(), 0, access, key.put()) == ERROR_SUCCESS) {
    // Decided from the mask rather than from RegQueryInfoKeyW, which Wine answers even on a
    // handle without the right to query, so that both systems remove the same keys.
    const REGSAM listRights = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
    DWORD subKeys = 0;
    if ((access & listRights) == listRights &&
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS) {
      wchar_t subName[kMaxKeyNameLength + 1];
      for (DWORD index = subKeys; index-- > 0;) {
        DWORD length = static_cast<DWORD>(std::size(subName));
        if (RegEnumKeyExW(key.get(), index, subName, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
          RemoveTree(key.get(), std::wstring(subName, length), access);
      }
    }
  }
  key.reset();
  return RegDeleteKeyW(parent, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

RegistryAccessor::RegistryAccessor(REGSAM access) noexcept : access_(access) {}

void RegistryAccessor::SetRootKey(HKEY root) noexcept {
  if (root == root_) return;
  current_.reset();
  root_ = root;
}

bool RegistryAccessor::OpenKey(std::wstring_view path, bool create) noexcept {
  const HKEY base = ResolveBase(current_.get(), root_, path);
  if (!IsUsableKeyPath(path)) return false;

  const std::wstring subKey(path);
  common::UniqueHKey key;
  LONG result;
  if (create && !subKey.empty()) {
    result = RegCreateKeyExW(base, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr, key.put(),
                             nullptr);
  } else {
    result = RegOpenKeyExW(base, subKey.c_str(), 0, access_, key.put());
  }
  if (result != ERROR_SUCCESS) return false;
  current_ = std::move(key);
  return true;
}

void RegistryAccessor::CloseKey() noexcept { current_.reset(); }

void RegistryAccessor::WriteString(std::wstring_view name, std::wstring_view text) {
  const std::wstring valueName(name);
  const std::wstring data(text);
  const LONG result =
      RegSetValueExW(current_.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  if (result != ERROR_SUCCESS) throw ERegistryException(L"'" + valueName + L"' の設定に失敗しました");
}

std::wstring RegistryAccessor::ReadString(std::wstring_view name) {
  const std::wstring valueName(name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(current_.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      size == 0)
    return {};

  // The value may change between the calls: a longer one asks for another round, and the
  // type is checked again on what was actually fetched.
  for (;;) {
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      throw ERegistryException(L"'" + valueName + L"' のデータ型が不正です");
    // One spare character for an odd byte count and one for the terminator the value may lack.
    std::wstring text(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
    const LONG result =
        RegQueryValueExW(current_.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got);
    if (result == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (result != ERROR_SUCCESS) throw ERegistryException(L"'" + valueName + L"' の取得に失敗しました");
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    text.resize(got / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
  }
}

bool RegistryAccessor::DeleteKey(std::wstring_view path) noexcept {
  const HKEY base = ResolveBase(current_.get(), root_, path);
  // A path of nothing but separators names the base key itself, which is never removed.
  if (path.find_first_not_of(L'\\') == std::wstring_view::npos) return false;
  if (!IsUsableKeyPath(path)) return false;
  return RemoveTree(base, std::wstring(path), access_);
}

}  // namespace assoc
