// What one start of the tool costs: a batch task that reads an association back and closes the
// tool, against bench_minimal_window.exe (one window on common controls 6, painted and closed),
// each run to its end. Prints the processor time and the peak memory of each and their ratio;
// passes or fails nothing.
//
// Usage: bench_startup <path of tavrelo.exe> [runs]
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "common/handles.h"

namespace {

// What one run of a program cost.
struct Cost {
  double cpuMs = 0;  // user and kernel time of all its threads
  SIZE_T peakWorkingSet = 0;
  SIZE_T peakPrivate = 0;
  bool ended = false;  // it ended by itself within the time allowed
};

double Milliseconds(const FILETIME& t) {
  return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
}

// The threads of a running process and the most time each was seen to have used. Wine answers
// GetProcessTimes for another process with the caller's own times, but GetThreadTimes with the
// thread's; so the threads are watched one by one while the process runs (a thread that lives
// less than one look is missed, and under Wine the time after the last look too).
class ThreadTimes {
 public:
  explicit ThreadTimes(DWORD pid) : pid_(pid) {}

  void Sample() {
    const common::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{sizeof entry};
    for (BOOL more = snapshot && Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
      if (entry.th32OwnerProcessID != pid_ || threads_.count(entry.th32ThreadID)) continue;
      threads_[entry.th32ThreadID].handle.reset(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
    }
    for (auto& [id, thread] : threads_) {
      FILETIME created, exited, kernel, user;
      if (thread.handle && GetThreadTimes(thread.handle.get(), &created, &exited, &kernel, &user))
        thread.ms = std::max(thread.ms, Milliseconds(kernel) + Milliseconds(user));
    }
  }

  double TotalMs() const {
    double total = 0;
    for (const auto& [id, thread] : threads_) total += thread.ms;
    return total;
  }

 private:
  struct Thread {
    common::UniqueKernelHandle handle;
    double ms = 0;
  };
  DWORD pid_;
  std::map<DWORD, Thread> threads_;
};

// Runs commandLine to its end (at most a minute), watching its threads and memory all along;
// quiet sends its standard output and error to NUL.
Cost RunToEnd(std::wstring commandLine, bool quiet = false) {
  Cost cost;
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  const common::UniqueFileHandle nul(
      quiet ? CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr)
            : INVALID_HANDLE_VALUE);
  if (quiet && nul) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = si.hStdError = nul.get();
  }
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, quiet, 0, nullptr, nullptr, &si, &pi)) return cost;
  const common::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
  ThreadTimes threads(pi.dwProcessId);
  const double deadline = Now() + 60;
  for (;;) {
    threads.Sample();
    PROCESS_MEMORY_COUNTERS pmc{sizeof pmc};
    if (GetProcessMemoryInfo(process.get(), &pmc, sizeof pmc)) {
      cost.peakWorkingSet = std::max(cost.peakWorkingSet, pmc.PeakWorkingSetSize);
      cost.peakPrivate = std::max(cost.peakPrivate, pmc.PeakPagefileUsage);
    }
    if (WaitForSingleObject(process.get(), 2) == WAIT_OBJECT_0) {
      cost.ended = true;
      break;
    }
    if (Now() > deadline) {
      TerminateProcess(process.get(), 1);
      return cost;
    }
  }
  threads.Sample();
  cost.cpuMs = threads.TotalMs();
  return cost;
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// Writes a settings file whose task reads extension back and closes the tool.
bool WriteReadBackTask(const std::wstring& path, const std::wstring& extension) {
  const std::string text = "[EXT]\r\nEXT=" + std::string(extension.begin(), extension.end()) +
                           "\r\n\r\n[TASK]\r\nCOMMAND=3\r\nCLOSE=1\r\n";
  const common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

void Print(const wchar_t* what, const std::vector<Cost>& costs) {
  std::vector<double> cpu;
  SIZE_T workingSet = 0, privateBytes = 0;
  for (const Cost& c : costs) {
    cpu.push_back(c.cpuMs);
    workingSet = std::max(workingSet, c.peakWorkingSet);
    privateBytes = std::max(privateBytes, c.peakPrivate);
  }
  std::wprintf(L"%-28ls cpu %7.1f ms   peak working set %6.1f MiB   peak private %6.1f MiB\n", what, Median(cpu),
               workingSet / 1048576.0, privateBytes / 1048576.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: bench_startup <tavrelo.exe> [runs]\n");
    return 2;
  }
  const std::wstring tool = argv[1];
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring yardstick = Folder(self) + L"\\bench_minimal_window.exe";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring settings = std::wstring(temp) + L"bench-startup-read-back.ini";
  // An extension of the bench's own: reading it back leaves an empty key, removed after each run.
  const std::wstring extension = L".tvbench" + std::to_wstring(GetCurrentProcessId());
  if (!WriteReadBackTask(settings, extension)) {
    std::fwprintf(stderr, L"cannot write %ls\n", settings.c_str());
    return 1;
  }

  std::vector<Cost> toolCosts, yardstickCosts;
  for (int i = 0; i < runs; ++i) {
    toolCosts.push_back(RunToEnd(L"\"" + tool + L"\" \"" + settings + L"\""));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, extension.c_str());
    yardstickCosts.push_back(RunToEnd(L"\"" + yardstick + L"\""));
    if (!toolCosts.back().ended || !yardstickCosts.back().ended) {
      std::fwprintf(stderr, L"run %d: %ls did not end by itself within a minute\n", i + 1,
                    toolCosts.back().ended ? yardstick.c_str() : tool.c_str());
      DeleteFileW(settings.c_str());
      return 1;
    }
  }
  DeleteFileW(settings.c_str());

  std::vector<double> toolCpu, yardstickCpu;
  for (const Cost& c : toolCosts) toolCpu.push_back(c.cpuMs);
  for (const Cost& c : yardstickCosts) yardstickCpu.push_back(c.cpuMs);
  std::wprintf(L"runs: %d (cpu: medians; memory: the highest peak)\n", runs);
  Print(L"tavrelo.exe read back+close", toolCosts);
  Print(L"minimal comctl32 window", yardstickCosts);
  std::wprintf(L"cpu ratio (goal <= 1.2):     %7.2f\n", Median(toolCpu) / Median(yardstickCpu));

  // The console twin beside the tool: its start (the help written) and one association looked up
  // (missing: exit 6; the per-user records need the desktop's account, which loads user32),
  // against a console program that writes one line.
  const std::wstring console = Folder(tool) + L"\\tavrelo.com";
  if (GetFileAttributesW(console.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
  const std::wstring consoleYardstick = Folder(self) + L"\\bench_minimal_console.exe";
  std::vector<Cost> helpCosts, showCosts, consoleYardstickCosts;
  for (int i = 0; i < runs; ++i) {
    helpCosts.push_back(RunToEnd(L"\"" + console + L"\" /?", true));
    showCosts.push_back(RunToEnd(L"\"" + console + L"\" show " + extension, true));
    consoleYardstickCosts.push_back(RunToEnd(L"\"" + consoleYardstick + L"\"", true));
  }
  const auto cpuOf = [](const std::vector<Cost>& costs) {
    std::vector<double> cpu;
    for (const Cost& c : costs) cpu.push_back(c.cpuMs);
    return Median(cpu);
  };
  Print(L"tavrelo.com /?", helpCosts);
  Print(L"tavrelo.com show", showCosts);
  Print(L"minimal console program", consoleYardstickCosts);
  std::wprintf(L"cpu ratio of the start (goal <= 1.2): %7.2f; of show: %.2f\n",
               cpuOf(helpCosts) / cpuOf(consoleYardstickCosts), cpuOf(showCosts) / cpuOf(consoleYardstickCosts));
  return 0;
}
