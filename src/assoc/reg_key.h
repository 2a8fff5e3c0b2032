#pragma once
// Opening registry keys by a path spelled with its root ("HKEY_CLASSES_ROOT\.txt"), one key name
// at a time and never through a registry link: a program of the user can make any key it may
// write a link to a key of its choice, and the tool, which runs elevated, would then read, write
// or remove the link's target in its place.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"

namespace assoc {

// The answer for a key that is a registry link, or lies below one.
inline constexpr LONG kKeyIsLink = ERROR_CANT_RESOLVE_FILENAME;

// A path split at its root: the root's key (a predefined key, or the classes of the user or of
// the machine) and the key names below it.
struct TRegPath {
  HKEY predefined = nullptr;       // the predefined key the root is or lies below
  std::wstring_view classesBelow;  // "Software\Classes" for a classes root, else empty
  std::vector<std::wstring_view> names;
};

// The key of split's root: the predefined key itself, or its classes key opened into holder
// (following the link Windows makes there). Null when it cannot be opened.
HKEY OpenRoot(const TRegPath& split, common::UniqueHKey& holder) noexcept;

// Splits path (its root spelled out as registry files do it) into the root's key and the names
// below. HKEY_CURRENT_USER\Software\Classes and HKEY_LOCAL_MACHINE\Software\Classes count as
// roots of their own: Windows itself makes the user's one a link to the user's classes hive, which
// the tool follows as the system made it, and nothing below it. False for an unknown root, an
// empty name, a NUL or a name longer than 255 characters (no key of such a name exists).
bool SplitRegPath(std::wstring_view path, TRegPath& split);

// True when the open key is a registry link: opened with REG_OPTION_OPEN_LINK, it holds its
// target in a REG_LINK value named SymbolicLinkValue. Never raises.
bool IsLinkKey(HKEY key) noexcept;

// Opens the key at path for access, one key name at a time with REG_OPTION_OPEN_LINK, each key
// on the way checked: ERROR_SUCCESS; ERROR_FILE_NOT_FOUND when it or a key above it is missing;
// kKeyIsLink when it or a key above it is a link; ERROR_INVALID_NAME for a path SplitRegPath
// refuses; or the system's code. key is set only on success. Never raises but for memory.
LONG OpenRegKey(std::wstring_view path, REGSAM access, common::UniqueHKey& key);

// Opens the one key name below parent for access with REG_OPTION_OPEN_LINK, as OpenRegKey
// answers.
LONG OpenRegChild(HKEY parent, const std::wstring& name, REGSAM access, common::UniqueHKey& key);

// The same for the key at names below the open key base (base itself is taken as it is).
LONG OpenRegKeyBelow(HKEY base, std::wstring_view subPath, REGSAM access, common::UniqueHKey& key);

// Keeps the keys along the last path it opened, so that a walk over neighbouring keys opens each
// key once. Every key it opens is opened with REG_OPTION_OPEN_LINK and checked, so it never
// passes through a link, also where a link appears between two calls: the keys it holds are the
// keys it checked.
class TKeyCursor {
 public:
  // Every key on the way is opened for access (KEY_QUERY_VALUE is always added, to check it).
  explicit TKeyCursor(REGSAM access = KEY_READ) noexcept;
  TKeyCursor(const TKeyCursor&) = delete;
  TKeyCursor& operator=(const TKeyCursor&) = delete;

  // The key at path, as OpenRegKey answers, opened with the cursor's access and extra; with
  // create, the last key is made when missing (non-volatile; the keys above must exist), and
  // created tells whether it was. The handle stays owned by the cursor and valid until the next call.
  LONG Open(std::wstring_view path, HKEY& key, REGSAM extra = 0, bool create = false, bool* created = nullptr);
  // Drops every key held (after a key on the held path was removed).
  void Forget() noexcept;
  // After Open answered kKeyIsLink: the path of the key that is a link (the path asked for, or
  // one above it).
  const std::wstring& LinkFound() const noexcept { return link_; }

 private:
  struct Held {
    std::wstring name;
    common::UniqueHKey key;
    REGSAM access = 0;
  };
  REGSAM access_;
  HKEY predefined_ = nullptr;
  std::wstring classesBelow_;
  common::UniqueHKey rootHolder_;
  HKEY root_ = nullptr;
  std::vector<Held> held_;
  std::wstring link_;
};

// The open key's own name (the last of its path) in the letter case the registry stores it;
// empty when the registry does not tell. Never raises but for memory.
std::wstring StoredKeyName(HKEY key);

// Removes the open key (opened with DELETE, checked not to be a link), which must have no
// sub-keys, through its own handle: ERROR_SUCCESS or the system's code. Never raises.
LONG DeleteOpenKey(HKEY key) noexcept;

}  // namespace assoc
