#include "assoc/user_override.h"

#include "assoc/safety.h"
#include "common/handles.h"

namespace assoc {

namespace {

constexpr wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr wchar_t kUserClasses[] = L"Software\\Classes";
constexpr const wchar_t* kChoiceKeys[] = {L"UserChoiceLatest", L"UserChoice"};

// Removes parent\name with its sub-keys; an absent parent or key is no failure.
LONG RemoveSubTree(const std::wstring& parentPath, const wchar_t* name) {
  common::UniqueHKey parent;
  LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, parentPath.c_str(), 0, KEY_READ | KEY_WRITE, parent.put());
  if (result == ERROR_SUCCESS) result = RegDeleteTreeW(parent.get(), name);
  if (result == ERROR_SUCCESS) result = RegDeleteKeyW(parent.get(), name);
  return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

LONG RemoveUserOverrideReal(const std::wstring& extension, UserOverride what) {
  if (!IsExtensionKeyName(extension)) return ERROR_INVALID_NAME;
  if (what.choice) {
    for (const wchar_t* name : kChoiceKeys)
      if (LONG result = RemoveSubTree(kFileExts + extension, name); result != ERROR_SUCCESS) return result;
  }
  if (what.userClasses) return RemoveSubTree(kUserClasses, extension.c_str());
  return ERROR_SUCCESS;
}

}  // namespace

common::Seam<LONG(const std::wstring&, UserOverride)> RemoveUserOverride(&RemoveUserOverrideReal);

std::wstring CurrentAccountName() {
  wchar_t name[257] = {};
  DWORD size = static_cast<DWORD>(std::size(name));
  return GetUserNameW(name, &size) ? std::wstring(name) : std::wstring();
}

}  // namespace assoc
