#pragma once
// The system's registry editor (regedit.exe of the Windows folder), run as a child process. It
// shares the prefix's registry but not a test's sandbox (RegOverridePredefKey), so what it
// imports lands in the prefix's own keys.

#include <windows.h>

#include <string>

namespace testsupport {

// Runs regedit.exe with arguments and answers its exit code; a test failure, answering ~0,
// when it does not start or does not end within a minute (it is then ended).
DWORD RunRegistryEditor(const std::wstring& arguments);

}  // namespace testsupport
