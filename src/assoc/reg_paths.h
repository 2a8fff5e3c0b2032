#pragma once
// The registry paths of the association records and the registry's own limits, spelled once.
// "Key" names are relative to their root; "Path" names start with the root spelled out, as
// registry files write them.

#include <cstddef>

namespace assoc {

// The longest name of one key Windows takes, in characters (Wine would take one more).
inline constexpr size_t kLongestKeyName = 255;
// A buffer that holds any key name with its terminating NUL, and one more character so that a
// longer name shows as too long rather than as cut.
inline constexpr unsigned long kKeyNameBuffer = kLongestKeyName + 2;

}  // namespace assoc

namespace assoc::paths {

// The shell's per-user records of an extension, below HKEY_CURRENT_USER: FileExts\<ext> holds
// the user's choice (UserChoice, UserChoiceLatest) and Open with lists.
inline constexpr wchar_t kFileExtsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
inline constexpr wchar_t kOpenSaveMruKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU";
// The per-user classes, below HKEY_CURRENT_USER, and the machine's, below HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kClassesKey[] = L"Software\\Classes";
// The user's choice of a protocol's handler: UrlAssociations\<scheme>\UserChoice.
inline constexpr wchar_t kUrlAssociationsKey[] = L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations";

// The sub-keys of FileExts\<ext> that hold the user's choice. Windows binds their Hash to the
// user, the machine and the key's write time, so no file can restore them.
inline constexpr const wchar_t* kChoiceKeys[] = {L"UserChoice", L"UserChoiceLatest"};

inline constexpr wchar_t kClassesRootPath[] = L"HKEY_CLASSES_ROOT";
inline constexpr wchar_t kUserClassesPath[] = L"HKEY_CURRENT_USER\\Software\\Classes";
inline constexpr wchar_t kMachineClassesPath[] = L"HKEY_LOCAL_MACHINE\\Software\\Classes";
inline constexpr wchar_t kFileExtsPath[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
inline constexpr wchar_t kOpenSaveMruPath[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU";
inline constexpr wchar_t kUrlAssociationsPath[] =
    L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations";

}  // namespace assoc::paths
