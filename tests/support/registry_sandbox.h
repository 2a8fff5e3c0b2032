#pragma once
// Redirects HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_USERS of this process (and on request
// HKEY_LOCAL_MACHINE) into fresh, empty keys for the lifetime of the object, so a test never
// touches the prefix's own classes, settings or other accounts.

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace testsupport {

// Which roots a sandbox redirects. WithMachine also redirects HKEY_LOCAL_MACHINE, and
// HKEY_CLASSES_ROOT then stands for that machine key's Software\Classes, as it does under Wine.
enum class SandboxRoots { ClassesAndUser, WithMachine };

class RegistrySandbox {
 public:
  explicit RegistrySandbox(SandboxRoots roots = SandboxRoots::ClassesAndUser);
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // True when every requested root is redirected.
  bool Ok() const { return ok_; }
  // The real keys that stand in for the two roots (handy for listing what a test wrote).
  HKEY Classes() const { return classes_.get(); }
  HKEY User() const { return user_.get(); }
  // The key that stands for HKEY_USERS: other accounts' hives are built below it.
  HKEY Users() const { return users_.get(); }
  // The key that stands for HKEY_LOCAL_MACHINE; null without SandboxRoots::WithMachine.
  HKEY Machine() const { return machine_.get(); }
  // Makes root\path a registry link (REG_OPTION_CREATE_LINK) to the existing key
  // targetRoot\target, as a program of the user could. The link goes with the sandbox.
  void CreateLink(HKEY root, const std::wstring& path, HKEY targetRoot, const std::wstring& target);
  // Makes root\path (its parent must exist) a link to itself: a key that exists but that the
  // registry refuses to open on every system (under Wine with ERROR_INVALID_PARAMETER). It goes
  // with the sandbox.
  void CreateLoop(HKEY root, const std::wstring& path);

 private:
  // Creates root\path as a volatile link to target, a key's name in the kernel's namespace
  // (empty: its own).
  void AddLink(HKEY root, const std::wstring& path, std::wstring target);

  std::wstring path_;  // below the real HKEY_CURRENT_USER
  common::UniqueHKey classes_;
  common::UniqueHKey user_;
  common::UniqueHKey users_;
  common::UniqueHKey machine_;
  std::vector<common::UniqueHKey> links_;  // opened as links, removed first
  bool ok_ = false;
};

// Registry helpers for assertions: they work through whatever the roots currently are.
bool KeyExists(HKEY root, const std::wstring& path);
// The default (or named) value as text, with its type; type REG_NONE when absent.
struct RegValue {
  DWORD type = REG_NONE;
  std::wstring text;
};
RegValue ReadValue(HKEY root, const std::wstring& path, const std::wstring& name = L"");
// Creates path (with missing parents) and sets a value of the given type (REG_SZ,
// REG_EXPAND_SZ or REG_DWORD with the number in text).
void WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const std::wstring& text);
void CreateKey(HKEY root, const std::wstring& path);

// Number of direct sub-keys, -1 when the key is missing.
int SubKeyCount(HKEY root, const std::wstring& path);
// Every key of root\path and below (root\path itself included, named from path on) with every
// value's name, type and bytes, one line each in a fixed order: two equal snapshots mean an
// unchanged tree. Read with the plain API, apart from the code under test. Empty when the key is
// missing.
std::vector<std::wstring> Snapshot(HKEY root, const std::wstring& path = L"");
// Snapshot as one text, a line each; "<absent>" when the key is missing.
std::wstring TreeDump(HKEY root, const std::wstring& path);
// Empty when two TreeDump texts are equal; else the lines only expected has ("- ") and those
// only actual has ("+ "), so that a failure shows what differs and not both whole trees.
std::wstring TreeDifference(const std::wstring& expected, const std::wstring& actual);

}  // namespace testsupport
