#include "assoc/reg_key.h"

#include "assoc/reg_file.h"
#include "assoc/reg_paths.h"
#include "assoc/safety.h"
#include "assoc/user_hive.h"

namespace assoc {

namespace {

// The function name of ntdll, which every process has loaded; null where it has none.
template <typename Fn>
Fn NtdllFunction(const char* name) noexcept {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The NTSTATUS of a failed removal as a system error code, for the messages.
LONG ErrorOfStatus(LONG status) noexcept {
  static const auto convert = NtdllFunction<ULONG(NTAPI*)(LONG)>("RtlNtStatusToDosError");
  return convert ? static_cast<LONG>(convert(status)) : ERROR_ACCESS_DENIED;
}

// Opens name below parent, never through a link, creating it when create and missing.
LONG OpenOne(HKEY parent, const std::wstring& name, REGSAM access, bool create, common::UniqueHKey& key,
             bool* created) {
  LONG result = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, key.put());
  if (result == ERROR_FILE_NOT_FOUND && create) {
    DWORD disposition = 0;
    result = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, access,
                             nullptr, key.put(), &disposition);
    if (result == ERROR_SUCCESS && created) *created = disposition == REG_CREATED_NEW_KEY;
  }
  if (result != ERROR_SUCCESS) return result;
  if (IsLinkKey(key.get())) {
    key.reset();
    return kKeyIsLink;
  }
  return ERROR_SUCCESS;
}

}  // namespace

bool SplitRegPath(std::wstring_view path, TRegPath& split) {
  std::wstring_view rest;
  split = TRegPath{};
  split.predefined = RootOfRegPath(path, &rest);
  if (!split.predefined || path.find(L'\0') != std::wstring_view::npos) return false;
  if (!rest.empty()) {
    for (;;) {
      const size_t end = rest.find(L'\\');
      const std::wstring_view name = rest.substr(0, end);
      if (name.empty() || name.size() > kLongestKeyName) return false;
      split.names.push_back(name);
      if (end == std::wstring_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  if ((split.predefined == HKEY_CURRENT_USER || split.predefined == HKEY_LOCAL_MACHINE) && split.names.size() >= 2 &&
      SameKeyName(split.names[0], L"Software") && SameKeyName(split.names[1], L"Classes")) {
    split.classesBelow = paths::kClassesKey;
    split.names.erase(split.names.begin(), split.names.begin() + 2);
  }
  return true;
}

HKEY OpenRoot(const TRegPath& split, common::UniqueHKey& holder) noexcept {
  try {
    if (split.predefined == HKEY_CURRENT_USER)
      return split.classesBelow.empty() ? UserRoot() : OpenUserClassesRoot(holder);
  } catch (...) {
    return nullptr;
  }
  if (split.classesBelow.empty()) return split.predefined;
  if (RegOpenKeyExW(split.predefined, paths::kClassesKey, 0, MAXIMUM_ALLOWED, holder.put()) != ERROR_SUCCESS) return nullptr;
  return holder.get();
}

bool IsLinkKey(HKEY key) noexcept {
  DWORD type = REG_NONE;
  return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
         type == REG_LINK;
}

namespace {

// Opens names below base one at a time, each checked; base itself is taken as it is.
LONG OpenNames(HKEY base, const std::vector<std::wstring_view>& names, REGSAM access, common::UniqueHKey& key) {
  if (names.empty()) return RegOpenKeyExW(base, nullptr, 0, access | KEY_QUERY_VALUE, key.put());
  common::UniqueHKey current;
  for (size_t i = 0; i < names.size(); ++i) {
    const bool last = i + 1 == names.size();
    common::UniqueHKey next;
    const LONG result = OpenOne(current ? current.get() : base, std::wstring(names[i]),
                                last ? access | KEY_QUERY_VALUE : KEY_QUERY_VALUE, false, next, nullptr);
    if (result != ERROR_SUCCESS) return result;
    current = std::move(next);
  }
  key = std::move(current);
  return ERROR_SUCCESS;
}

}  // namespace

LONG OpenRegChild(HKEY parent, const std::wstring& name, REGSAM access, common::UniqueHKey& key) {
  if (name.empty() || name.size() > kLongestKeyName || name.find(L'\0') != std::wstring::npos) return ERROR_INVALID_NAME;
  return OpenOne(parent, name, access | KEY_QUERY_VALUE, false, key, nullptr);
}

LONG OpenRegKeyBelow(HKEY base, std::wstring_view subPath, REGSAM access, common::UniqueHKey& key) {
  std::vector<std::wstring_view> names;
  while (!subPath.empty()) {
    const size_t end = subPath.find(L'\\');
    const std::wstring_view name = subPath.substr(0, end);
    if (name.empty() || name.size() > kLongestKeyName || name.find(L'\0') != std::wstring_view::npos)
      return ERROR_INVALID_NAME;
    names.push_back(name);
    if (end == std::wstring_view::npos) break;
    subPath.remove_prefix(end + 1);
  }
  return OpenNames(base, names, access, key);
}

LONG OpenRegKey(std::wstring_view path, REGSAM access, common::UniqueHKey& key) {
  TRegPath split;
  if (!SplitRegPath(path, split)) return ERROR_INVALID_NAME;
  common::UniqueHKey holder;
  const HKEY root = OpenRoot(split, holder);
  if (!root) return ERROR_FILE_NOT_FOUND;
  return OpenNames(root, split.names, access, key);
}

TKeyCursor::TKeyCursor(REGSAM access) noexcept : access_(access | KEY_QUERY_VALUE) {}

void TKeyCursor::Forget() noexcept {
  held_.clear();
  rootHolder_.reset();
  root_ = nullptr;
  predefined_ = nullptr;
  classesBelow_.clear();
}

LONG TKeyCursor::Open(std::wstring_view path, HKEY& key, REGSAM extra, bool create, bool* created) {
  if (created) *created = false;
  TRegPath split;
  if (!SplitRegPath(path, split)) return ERROR_INVALID_NAME;
  if (split.predefined != predefined_ || split.classesBelow != classesBelow_ || !root_) {
    Forget();
    predefined_ = split.predefined;
    classesBelow_ = std::wstring(split.classesBelow);
    root_ = OpenRoot(split, rootHolder_);
    if (!root_) {
      Forget();
      return ERROR_FILE_NOT_FOUND;
    }
  }
  if (split.names.empty()) {
    key = root_;
    return ERROR_SUCCESS;
  }
  const REGSAM onTheWay = access_ | (create ? KEY_CREATE_SUB_KEY : 0);
  const REGSAM last = onTheWay | extra;
  // Keep the keys this path shares with the last one, each opened for what it is needed for now.
  size_t same = 0;
  while (same < held_.size() && same < split.names.size() && SameKeyName(held_[same].name, split.names[same])) {
    const REGSAM needed = same + 1 == split.names.size() ? last : onTheWay;
    if ((held_[same].access & needed) != needed) break;
    ++same;
  }
  held_.resize(same);
  for (size_t i = same; i < split.names.size(); ++i) {
    const bool isLast = i + 1 == split.names.size();
    Held next{std::wstring(split.names[i]), {}, isLast ? last : onTheWay};
    bool made = false;
    const LONG result =
        OpenOne(held_.empty() ? root_ : held_.back().key.get(), next.name, next.access, create && isLast, next.key, &made);
    if (result == kKeyIsLink) link_ = std::wstring(path.substr(0, split.names[i].data() + split.names[i].size() - path.data()));
    if (result != ERROR_SUCCESS) return result;
    if (created && isLast) *created = made;
    held_.push_back(std::move(next));
  }
  key = held_.back().key.get();
  return ERROR_SUCCESS;
}

std::wstring StoredKeyName(HKEY key) {
  static const auto query = NtdllFunction<LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*)>("NtQueryKey");
  // KeyBasicInformation: the write time, the title index, the name's length in bytes, the name.
  struct Basic {
    LARGE_INTEGER lastWrite;
    ULONG titleIndex;
    ULONG nameBytes;
    wchar_t name[kKeyNameBuffer];
  } basic;
  ULONG size = 0;
  if (!query || query(key, 0, &basic, sizeof basic, &size) != 0 || basic.nameBytes > sizeof basic.name) return {};
  return std::wstring(basic.name, basic.nameBytes / sizeof(wchar_t));
}

LONG DeleteOpenKey(HKEY key) noexcept {
  static const auto deleteKey = NtdllFunction<LONG(NTAPI*)(HANDLE)>("NtDeleteKey");
  if (!deleteKey) return ERROR_CALL_NOT_IMPLEMENTED;
  const LONG status = deleteKey(key);
  return status == 0 ? ERROR_SUCCESS : ErrorOfStatus(status);
}

}  // namespace assoc
