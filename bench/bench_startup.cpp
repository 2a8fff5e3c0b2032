// Start-up of the tool to its first idle moment (the process waits for input with an empty
// queue), against exporting one registry key with the system's registry editor, measured in
// one run; and the tool's peak memory. Prints figures; passes or fails nothing.
//
// Usage: bench_startup <path of tavrelo.exe> [runs]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "common/handles.h"

namespace {

struct Started {
  common::UniqueKernelHandle process;
  common::UniqueKernelHandle thread;
  DWORD pid = 0;
};

Started Start(std::wstring commandLine) {
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  Started started;
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    started.process.reset(pi.hProcess);
    started.thread.reset(pi.hThread);
    started.pid = pi.dwProcessId;
  }
  return started;
}

// Closes every top-level window of the process and waits for it to end.
void CloseAndWait(const Started& s) {
  EnumWindows(
      [](HWND hwnd, LPARAM pid) -> BOOL {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == static_cast<DWORD>(pid)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return TRUE;
      },
      static_cast<LPARAM>(s.pid));
  if (WaitForSingleObject(s.process.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(s.process.get(), 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: bench_startup <tavrelo.exe> [runs]\n");
    return 2;
  }
  const std::wstring tool = argv[1];
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring exported = std::wstring(temp) + L"bench-startup-export.reg";
  // The exported key: a small one of the bench's own, so the figure does not depend on the prefix.
  constexpr wchar_t kKey[] = L"Software\\TavreloBenchStartup";
  {
    common::UniqueHKey key;
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    const wchar_t text[] = L"\"C:\\Tools\\abcview.exe\" \"%1\"";
    RegSetValueExW(key.get(), L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  }

  std::vector<double> toolTimes, regeditTimes;
  SIZE_T peakWorkingSet = 0, peakCommit = 0;
  for (int i = 0; i < runs; ++i) {
    double start = Now();
    Started tool_ = Start(L"\"" + tool + L"\"");
    if (!tool_.process) {
      std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", tool.c_str(), GetLastError());
      return 1;
    }
    WaitForInputIdle(tool_.process.get(), 30000);
    toolTimes.push_back(Now() - start);
    PROCESS_MEMORY_COUNTERS pmc{sizeof pmc};
    if (GetProcessMemoryInfo(tool_.process.get(), &pmc, sizeof pmc)) {
      peakWorkingSet = std::max(peakWorkingSet, pmc.PeakWorkingSetSize);
      peakCommit = std::max(peakCommit, pmc.PeakPagefileUsage);
    }
    CloseAndWait(tool_);

    start = Now();
    Started regedit = Start(L"regedit.exe /E \"" + exported + L"\" \"HKEY_CURRENT_USER\\" + kKey + L"\"");
    WaitForSingleObject(regedit.process.get(), 30000);
    regeditTimes.push_back(Now() - start);
  }
  DeleteFileW(exported.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, kKey);

  const double toolMs = Median(toolTimes) * 1000, regeditMs = Median(regeditTimes) * 1000;
  std::wprintf(L"runs: %d (medians)\n", runs);
  std::wprintf(L"tavrelo.exe start to first idle: %8.1f ms\n", toolMs);
  std::wprintf(L"regedit /E of one key:           %8.1f ms\n", regeditMs);
  std::wprintf(L"ratio (goal <= 1.5):             %8.2f\n", toolMs / regeditMs);
  std::wprintf(L"tavrelo.exe peak working set:    %8.1f MiB\n", peakWorkingSet / 1048576.0);
  std::wprintf(L"tavrelo.exe peak private bytes:  %8.1f MiB\n", peakCommit / 1048576.0);
  return 0;
}
