// Measures a settings save on a large settings file: load, set the five keys and write, against
// reading and writing the same bytes raw and against the platform's profile functions doing the
// same five reads and five writes. Prints the figures of this one run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/exception.h"
#include "common/handles.h"
#include "settings/mem_ini_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Times of calls, in milliseconds.
struct Times {
  std::vector<double> ms;
  template <typename F>
  void Add(F f) {
    const Clock::time_point start = Clock::now();
    f();
    ms.push_back(MillisecondsSince(start));
  }
  double Median() {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
  }
};

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
      bytes += "[EXT]\r\nEXT=.abc\r\nCOMMAND=C:\\Tools\\abcview.exe\r\nFILE_TYPE=ABC\r\nICON_FILE=\r\nICON_INDEX=0\r\n\r\n";
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

// The same through the profile functions: five reads, five writes.
void ProfileSave(const std::wstring& path) {
  wchar_t value[1024];
  for (const wchar_t* key : kKeys) GetPrivateProfileStringW(L"EXT", key, L"", value, 1024, path.c_str());
  for (const wchar_t* key : kKeys) WritePrivateProfileStringW(L"EXT", key, L"value", path.c_str());
}

struct Figures {
  double megabytes, raw, ours;
};

// Raw and save runs alternate, so that both meet the same load of the machine.
Figures Measure(const std::wstring& folder, int sections, bool untidy, int runs) {
  const std::wstring path = folder + L"\\bench-" + std::to_wstring(sections) + L".ini";
  const std::string bytes = LargeFile(sections, untidy);
  Times raw, ours;
  for (int i = 0; i < runs; ++i) {
    WriteAll(path, bytes);
    raw.Add([&] { WriteAll(path, ReadAll(path)); });
    ours.Add([&] { Save(path); });
  }
  DeleteFileW(path.c_str());
  return Figures{bytes.size() / 1e6, raw.Median(), ours.Median()};
}

}  // namespace

int main() {
  try {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tavrelo-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    double untidyLarge = 0;

    for (bool untidy : {false, true}) {
      const Figures small = Measure(folder, 10000, untidy, 21);
      const Figures large = Measure(folder, 100000, untidy, 21);
      std::printf("%s\n", untidy ? "a comment in every section (left out on saving):"
                                 : "a tidy file (as saving writes it):");
      std::printf("  settings file      %8.2f MB  %8.2f MB\n", small.megabytes, large.megabytes);
      std::printf("  raw read + write   %8.2f ms  %8.2f ms\n", small.raw, large.raw);
      std::printf("  TMemIniFile save   %8.2f ms  %8.2f ms  (load, five keys, write; median of 21)\n", small.ours,
                  large.ours);
      std::printf("  save / raw         %8.2f x   %8.2f x   (goal: at most 2)\n", small.ours / small.raw,
                  large.ours / large.raw);
      std::printf("  cost per MB        %8.2f ms  %8.2f ms  (linear when alike)\n", small.ours / small.megabytes,
                  large.ours / large.megabytes);
      if (untidy) untidyLarge = large.ours;
    }

    const std::wstring profile = folder + L"\\profile.ini";
    WriteAll(profile, LargeFile(100000, true));
    Times profileTimes;
    profileTimes.Add([&] { ProfileSave(profile); });
    const double profileTime = profileTimes.Median();
    DeleteFileW(profile.c_str());
    std::printf("the profile functions on the file with comments:\n");
    std::printf("  profile functions  %8s     %8.2f ms  (five GetPrivateProfileStringW, five WritePrivateProfileStringW)\n",
                "", profileTime);
    std::printf("  profile / save     %8s     %8.1f x   (goal: at least 50)\n", "", profileTime / untidyLarge);
    RemoveDirectoryW(folder.c_str());
  } catch (const Exception& e) {
    std::fwprintf(stderr, L"bench_settings: %ls\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
