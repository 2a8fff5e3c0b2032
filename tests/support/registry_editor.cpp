#include "support/registry_editor.h"

#include <gtest/gtest.h>

#include "common/handles.h"

namespace testsupport {

DWORD RunRegistryEditor(const std::wstring& arguments) {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(windows) + L"\\regedit.exe\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    ADD_FAILURE() << "regedit.exe did not start, error " << GetLastError();
    return ~0u;
  }
  const common::UniqueKernelHandle process(started.hProcess);
  const common::UniqueKernelHandle thread(started.hThread);
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    ADD_FAILURE() << "regedit.exe did not end";
    return ~0u;
  }
  DWORD code = ~0u;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

}  // namespace testsupport
