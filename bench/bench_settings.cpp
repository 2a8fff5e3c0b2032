// Measures the settings document on large files. Time: a save (load, the five keys, write) and an
// open (load, the seven reads of the window and the batch task) against reading and writing the
// same bytes raw, on 1 MB and 10 MB files, and the platform's profile functions doing the five
// reads and writes. Memory: a load and save of large and crafted files, each in a process of its
// own, as the rise of its peak working set. Prints the figures of this one run.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/exception.h"
#include "common/handles.h"
#include "common/text.h"
#include "settings/mem_ini_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// The median time of calls of f, in milliseconds.
template <typename F>
double MedianMilliseconds(int runs, F f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const Clock::time_point start = Clock::now();
    f(i);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

// A settings file of about 100 bytes per section, with Japanese in every section; section "EXT"
// stands in the middle and "TASK" at the end. Untidy: a comment in every section, which saving
// leaves out; else the file reads as saving writes it.
std::string LargeFile(int sections, bool untidy) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(sections) * 110);
  const std::string japanese = Ansi(L"説明=関連づけの設定");
  for (int i = 0; i < sections; ++i) {
    if (i == sections / 2) {
      bytes +=
          "[EXT]\r\nEXT=.abc\r\nCOMMAND=C:\\Tools\\abcview.exe\r\nFILE_TYPE=ABC\r\nICON_FILE=\r\nICON_INDEX=0\r\n\r\n";
      continue;
    }
    char line[128];
    std::snprintf(line, sizeof line, "[Section%06d]\r\nName=Entry number %06d\r\nValue=%d\r\n", i, i, i * 7);
    bytes += line;
    bytes += japanese + (untidy ? "\r\n; a comment line\r\n\r\n" : "\r\nNote=a line of text\r\n\r\n");
  }
  bytes += "[TASK]\r\nCOMMAND=1\r\nCLOSE=1\r\n";
  return bytes;
}

// The same line again and again, after head, up to size bytes.
std::string Repeated(const std::string& head, const std::string& line, size_t size) {
  std::string bytes = head;
  bytes.reserve(size + line.size());
  while (bytes.size() < size) bytes += line;
  return bytes;
}

// The file in UTF-16 LE with its mark.
std::string Utf16(const std::string& ansi) {
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::string bytes(2 + 2 * static_cast<size_t>(n), '\0');
  bytes[0] = '\xFF';
  bytes[1] = '\xFE';
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), reinterpret_cast<wchar_t*>(&bytes[2]), n);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    throw Exception(L"cannot write " + path);
}

std::string ReadAll(const std::wstring& path) {
  common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) throw Exception(L"cannot read " + path);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) throw Exception(path);
  bytes.resize(got);
  return bytes;
}

// The window's save: load, the five keys, write.
void Save(const std::wstring& path) {
  TMemIniFile ini(path);
  ini.SetTextValue(L"EXT", L"EXT", L".abc");
  ini.SetTextValue(L"EXT", L"COMMAND", L"\"C:\\Program Files\\ABC\\abc.exe\" \"%1\"");
  ini.SetTextValue(L"EXT", L"FILE_TYPE", L"ABC 文書");
  ini.SetTextValue(L"EXT", L"ICON_FILE", L"C:\\Program Files\\ABC\\abc.exe");
  ini.SetIntValue(L"EXT", L"ICON_INDEX", 2);
  ini.WriteToFile();
}

const wchar_t* const kKeys[] = {L"EXT", L"COMMAND", L"FILE_TYPE", L"ICON_FILE", L"ICON_INDEX"};

// The window's open and the batch task: load, the five reads, the two of the task.
size_t Open(const std::wstring& path) {
  TMemIniFile ini(path);
  size_t read = 0;
  for (const wchar_t* key : kKeys) read += ini.GetTextValue(L"EXT", key, L"").size();
  return read + ini.GetIntValue(L"TASK", L"COMMAND", 0) + ini.GetIntValue(L"TASK", L"CLOSE", 0);
}

// The same as a save through the profile functions: five reads, five writes.
void ProfileSave(const std::wstring& path) {
  wchar_t value[1024];
  for (const wchar_t* key : kKeys) GetPrivateProfileStringW(L"EXT", key, L"", value, 1024, path.c_str());
  for (const wchar_t* key : kKeys) WritePrivateProfileStringW(L"EXT", key, L"value", path.c_str());
}

struct Times {
  double megabytes, raw, save, open;
};

// Raw, save and open runs alternate, so that all meet the same load of the machine.
Times Measure(const std::wstring& folder, int sections, bool untidy, int runs) {
  const std::wstring path = folder + L"\\bench-" + std::to_wstring(sections) + L".ini";
  const std::string bytes = LargeFile(sections, untidy);
  Times times{bytes.size() / 1e6, 0, 0, 0};
  std::vector<double> raw, save, open;
  for (int i = 0; i < runs; ++i) {
    WriteAll(path, bytes);
    raw.push_back(MedianMilliseconds(1, [&](int) { WriteAll(path, ReadAll(path)); }));
    save.push_back(MedianMilliseconds(1, [&](int) { Save(path); }));
    open.push_back(MedianMilliseconds(1, [&](int) { Open(path); }));
  }
  for (auto [list, figure] : {std::pair{&raw, &times.raw}, {&save, &times.save}, {&open, &times.open}}) {
    std::sort(list->begin(), list->end());
    *figure = (*list)[list->size() / 2];
  }
  DeleteFileW(path.c_str());
  return times;
}

// The child's part: the rise of this process's peak working set over a save of path, in KiB, as
// its exit code (Wine keeps no peak of private bytes; the document touches all it allocates). The child finds path in
// kChildVariable.
int MeasureMemory(const std::wstring& path) {
  PROCESS_MEMORY_COUNTERS before{}, after{};
  GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
  Save(path);
  GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
  return static_cast<int>((after.PeakWorkingSetSize - before.WorkingSetSize) / 1024);
}

constexpr wchar_t kChildVariable[] = L"TAVRELO_BENCH_MEMORY";

// Runs this program on path in a process of its own; its exit code.
DWORD RunChild(const std::wstring& path) {
  std::wstring command = L"\"" + common::ModuleFileName() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  SetEnvironmentVariableW(kChildVariable, path.c_str());
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableW(kChildVariable, nullptr);
  if (!started) throw Exception(L"cannot start " + command);
  common::UniqueKernelHandle thread(process.hThread), child(process.hProcess);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.get(), &code);
  return code;
}

}  // namespace

int main() {
  try {
    wchar_t child[MAX_PATH];
    if (GetEnvironmentVariableW(kChildVariable, child, MAX_PATH)) return MeasureMemory(child);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tavrelo-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    for (bool untidy : {false, true}) {
      // 1, 10 and 100 MB: medians of 21, 21 and 3 runs.
      const Times t[] = {Measure(folder, 10000, untidy, 21), Measure(folder, 100000, untidy, 21),
                         Measure(folder, 1000000, untidy, 3)};
      std::printf("%s\n",
                  untidy ? "a comment in every section (left out on saving):" : "a tidy file (as saving writes it):");
      auto row = [&](const char* what, const char* unit, double (*figure)(const Times&), const char* note) {
        std::printf("  %-17s", what);
        for (const Times& times : t) std::printf(" %9.2f %-2s", figure(times), unit);
        std::printf("  %s\n", note);
      };
      row(
          "settings file", "MB", [](const Times& x) { return x.megabytes; }, "");
      row(
          "raw read + write", "ms", [](const Times& x) { return x.raw; }, "");
      row(
          "save", "ms", [](const Times& x) { return x.save; }, "(load, five keys, write)");
      row(
          "open", "ms", [](const Times& x) { return x.open; }, "(load, seven reads)");
      row(
          "save / raw", "x", [](const Times& x) { return x.save / x.raw; }, "(goal: at most 5)");
      row(
          "open / raw", "x", [](const Times& x) { return x.open / x.raw; }, "");
      row(
          "save per MB", "ms", [](const Times& x) { return x.save / x.megabytes; }, "(linear when alike)");
      row(
          "open per MB", "ms", [](const Times& x) { return x.open / x.megabytes; }, "");
    }

    const std::wstring profile = folder + L"\\profile.ini";
    WriteAll(profile, LargeFile(100000, true));
    const double profileTime = MedianMilliseconds(1, [&](int) { ProfileSave(profile); });
    WriteAll(profile, LargeFile(100000, true));
    const double saveTime = MedianMilliseconds(5, [&](int) { Save(profile); });
    DeleteFileW(profile.c_str());
    std::printf("the profile functions on the 10 MB file with comments:\n");
    std::printf("  profile functions  %8.2f ms  (five GetPrivateProfileStringW, five WritePrivateProfileStringW)\n",
                profileTime);
    std::printf("  profile / save     %8.1f x\n", profileTime / saveTime);

    struct MemoryCase {
      const char* what;
      std::string bytes;
    };
    constexpr size_t k100MB = 100u << 20;
    const MemoryCase memory[] = {
        {"10 MB ordinary", LargeFile(100000, true)},
        {"100 MB ordinary", LargeFile(1000000, true)},
        {"100 MB of \"[]\" lines", Repeated("", "[]\r\n", k100MB)},
        {"100 MB of \"k=v\" lines in [EXT]", Repeated("[EXT]\r\n", "k=v\r\n", k100MB)},
        {"100 MB ordinary in UTF-16", Utf16(LargeFile(500000, true))},
    };
    std::printf("memory of a save, each in a process of its own (peak working set above the start):\n");
    const std::wstring path = folder + L"\\memory.ini";
    for (const MemoryCase& c : memory) {
      WriteAll(path, c.bytes);
      const double held = RunChild(path) * 1024.0;
      std::printf("  %-34s %8.1f MB  held %8.1f MB  %5.2f x its size  (goal: at most 3)\n", c.what,
                  c.bytes.size() / 1e6, held / 1e6, held / c.bytes.size());
    }
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
  } catch (const Exception& e) {
    std::fwprintf(stderr, L"bench_settings: %ls\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
