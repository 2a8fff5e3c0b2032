#pragma once
// Registry states for the list of associations, built in a sandbox that redirects the machine's
// and the user's keys, and keys that exist but cannot be opened.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/registry_sandbox.h"

namespace listtest {

enum Where { Machine, User, Choice };

// One value of a registry state: below HKLM\Software\Classes (which HKEY_CLASSES_ROOT stands
// for), HKCU\Software\Classes, or the user's FileExts key. data holds the value's bytes as
// UTF-16 code units (REG_DWORD: its decimal number), without a terminator for REG_BINARY,
// REG_MULTI_SZ and other types; REG_SZ and REG_EXPAND_SZ get theirs.
struct Write {
  Where where;
  std::wstring path;
  const wchar_t* name;
  std::wstring data;
  DWORD type = REG_SZ;
};

void Apply(const std::vector<Write>& writes);

// The classic records of .abc, as a registration by this tool leaves them.
std::vector<Write> Classic(const std::wstring& extension = L".abc");
// Classic(".abc") followed by more.
std::vector<Write> ClassicAnd(std::vector<Write> more);

// Both redirected trees, for checking that nothing changed.
struct Trees {
  std::vector<std::wstring> machine, user;
  bool operator==(const Trees&) const = default;
};
Trees Snapshot(const testsupport::RegistrySandbox& sandbox);

}  // namespace listtest
