// Stands for the program a planted command would start: appends one line to the file named like
// itself with ".log" added, giving the name of the program that started it and its arguments, so
// a test sees whether it ran, for whom, and with what.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "common/handles.h"
#include "common/text.h"

namespace {

// The file name of the process that started this one; empty when it cannot be told.
std::wstring ParentName() {
  const common::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return {};
  DWORD parent = 0;
  PROCESSENTRY32W entry{sizeof entry};
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == parent) return entry.szExeFile;
  return {};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring line = ParentName();
  for (int i = 1; i < argc; ++i) line += L"|" + std::wstring(argv[i]);
  const std::string bytes = common::Utf8(line + L"\n");
  const common::UniqueFileHandle log(CreateFileW((common::ModuleFileName() + L".log").c_str(), FILE_APPEND_DATA,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return log && WriteFile(log.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ? 0 : 1;
}
