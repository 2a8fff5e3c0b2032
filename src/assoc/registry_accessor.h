#pragma once
// Registry access for one store operation: a root, an access mask and at most one open key.

#include <windows.h>

#include <string>
#include <string_view>

#include "common/handles.h"

namespace assoc {

class RegistryAccessor {
 public:
  // Root HKEY_CURRENT_USER, no open key, keys opened with the given access mask.
  explicit RegistryAccessor(REGSAM access = KEY_ALL_ACCESS) noexcept;
  RegistryAccessor(const RegistryAccessor&) = delete;
  RegistryAccessor& operator=(const RegistryAccessor&) = delete;
  // Closes the open key; never flushes.
  ~RegistryAccessor() = default;

  HKEY RootKey() const noexcept { return root_; }
  REGSAM Access() const noexcept { return access_; }
  // The open key, or null.
  HKEY CurrentKey() const noexcept { return current_.get(); }

  // Takes a new root; when it differs from the current one, closes the open key first.
  void SetRootKey(HKEY root) noexcept;

  // Opens path and makes it the open key. A leading "\" resolves from the root (and is
  // dropped); other paths resolve from the open key, or the root when none is open. With
  // create and a non-empty path, missing keys on the path are created (non-volatile); else
  // only an existing key opens, and the empty path opens the base key itself. Key names
  // longer than 255 characters fail, as on Windows, and so does a path holding a NUL.
  // On failure nothing changes. Never raises.
  bool OpenKey(std::wstring_view path, bool create) noexcept;

  // Closes the open key, if any.
  void CloseKey() noexcept;

  // Sets value name (empty: the default value) of the open key to text as REG_SZ with its
  // terminating NUL. Raises ERegistryException "'name' の設定に失敗しました" on failure.
  void WriteString(std::wstring_view name, std::wstring_view text);

  // The text of value name of the open key up to its first NUL, environment references left
  // as they are. Empty when the value is absent, cannot be queried or has size 0. Raises
  // ERegistryException "'name' のデータ型が不正です" for a type other than REG_SZ or
  // REG_EXPAND_SZ, and "'name' の取得に失敗しました" when the data cannot be fetched.
  std::wstring ReadString(std::wstring_view name);

  // Removes the key at path (path rules of OpenKey, never creating) with all its sub-keys,
  // deepest first, and answers whether the key itself was deleted. Without the right to query
  // the key (KEY_WRITE) its sub-keys are not listed, so only a key without sub-keys goes.
  // A path that names the base key itself (empty once its leading "\" is dropped) answers
  // false and removes nothing. The open key is left as it was. Never raises.
  bool DeleteKey(std::wstring_view path) noexcept;

 private:
  HKEY root_ = HKEY_CURRENT_USER;
  REGSAM access_;
  common::UniqueHKey current_;
};

}  // namespace assoc
