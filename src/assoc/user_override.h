#pragma once
// Removing what overrides the classic records for one user: the per-user choice that Explorer
// keeps below FileExts, and the per-user class record of the extension.

#include <windows.h>

#include <string>

#include "common/seam.h"

namespace assoc {

// What RemoveUserOverride removes for an extension.
struct UserOverride {
  bool choice = false;       // FileExts\<ext>\UserChoice and \UserChoiceLatest, each with its sub-keys
  bool userClasses = false;  // HKCU\Software\Classes\<ext>, with its sub-keys
};

// Removes from HKEY_CURRENT_USER exactly the keys that what names for extension, and nothing
// else; a key that is already absent is no failure. Answers ERROR_SUCCESS, or the first error
// (ERROR_ACCESS_DENIED where Windows protects the choice); keys removed before it stay removed.
// An empty extension, one without its leading "." and one holding "\" or a NUL name other keys
// than the extension's own: ERROR_INVALID_NAME before the registry is touched. Sends no notice.
// Tests replace it to answer a refusal.
extern common::Seam<LONG(const std::wstring& extension, UserOverride what)> RemoveUserOverride;

// The name of the account whose HKEY_CURRENT_USER this process sees (an elevation with another
// administrator's credentials sees that administrator's); empty when it cannot be read.
std::wstring CurrentAccountName();

}  // namespace assoc
