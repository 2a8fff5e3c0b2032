#pragma once
// Whose associations the tool shows and changes. A standard user who elevates the tool with an
// administrator's password runs it as that administrator: HKEY_CURRENT_USER is then the
// administrator's hive, not the one of the person at the desktop. The per-user records belong to
// the account of the desktop's shell, and every per-user read and write goes to that account's
// hive (HKEY_USERS\<SID> and HKEY_USERS\<SID>_Classes) while it is signed in.

#include <windows.h>

#include <optional>
#include <string>

#include "common/handles.h"
#include "common/seam.h"

namespace assoc {

// The security identifier ("S-1-5-21-…") of the account that runs the desktop's shell; nothing
// when there is no shell to ask. Tests name another account.
extern common::Seam<std::optional<std::wstring>()> DesktopAccountSid;

// The security identifier of the account this process runs as; empty when it cannot be read.
std::wstring ProcessAccountSid();

// The account whose per-user records the tool works on.
struct TTargetAccount {
  std::wstring Sid;   // empty when neither the desktop's nor this process's account is known
  std::wstring Name;  // "DOMAIN\user", or the identifier when the name cannot be looked up
  bool Self = true;   // the account this process runs as: HKEY_CURRENT_USER is its hive
  bool Loaded = true;  // its hive is loaded, so its records can be read and written
};

// The desktop's account, or this process's when there is no desktop shell. Asked anew each time
// (the answer may change while the tool runs, and tests change it); never raises but for memory.
TTargetAccount TargetAccount();

// TargetAccount().Sid.
std::wstring TargetAccountSid();

// The root of the target account's hive: HKEY_CURRENT_USER for this process's own account, else
// HKEY_USERS\<SID> opened and kept until the target changes; null when that hive is not loaded.
HKEY UserRoot();

// The root of the target account's classes: opened into holder from HKEY_CURRENT_USER\Software\Classes
// for this process's own account (Windows makes that key a link to the classes hive, which is
// followed as the system made it), else HKEY_USERS\<SID>_Classes. Null when it is missing.
HKEY OpenUserClassesRoot(common::UniqueHKey& holder);

}  // namespace assoc
