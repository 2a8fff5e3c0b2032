#include "crash/crash_store.h"

#include <dbghelp.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <vector>

#include "common/handles.h"
#include "common/text.h"
#include "crash/crash_report.h"

namespace crash {

namespace {

constexpr wchar_t kAnnounced[] = L"announced.txt";
// The marker holds one report's name.
constexpr uint64_t kLargestMarker = 64;

// The report names in folder ("<stamp>.txt"), oldest first.
std::vector<std::wstring> ReportNames(const common::SecureFolder& folder) {
  std::vector<std::wstring> names;
  for (std::wstring& name : folder.FileNames()) {
    // "yyyymmdd-hhmmss-fff.txt": the name sorts by time.
    const bool stamped = name.size() == 23 && name[8] == L'-' && name[15] == L'-' &&
                         std::all_of(name.begin(), name.begin() + 8, iswdigit) && name.ends_with(L".txt");
    if (stamped) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool RealWriteMinidump(HANDLE file, DWORD threadId, EXCEPTION_POINTERS* exception) {
  MINIDUMP_EXCEPTION_INFORMATION info{threadId, exception, FALSE};
  return MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file,
                           static_cast<MINIDUMP_TYPE>(MiniDumpNormal | MiniDumpWithThreadInfo),
                           exception ? &info : nullptr, nullptr, nullptr) != FALSE;
}

}  // namespace

common::Seam<bool(HANDLE, DWORD, EXCEPTION_POINTERS*)> WriteMinidump(&RealWriteMinidump);

std::wstring WriteReport(const common::SecureFolder& folder, const std::wstring& report, DWORD threadId,
                         EXCEPTION_POINTERS* exception) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t stamp[24];
  std::swprintf(stamp, std::size(stamp), L"%04u%02u%02u-%02u%02u%02u-%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  const std::wstring base = stamp;
  if (folder.CreateNew(base + L".txt", ReportBytes(report)) != common::FileWrite::Written) return {};

  folder.CreateNewWith(base + L".dmp",
                       [&](HANDLE file) { return WriteMinidump(file, threadId, exception); });

  const std::vector<std::wstring> names = ReportNames(folder);
  for (size_t i = 0; i + kReportsKept < names.size(); ++i) {
    folder.Remove(names[i]);
    folder.Remove(names[i].substr(0, names[i].size() - 4) + L".dmp");
  }
  return folder.Path() + L"\\" + base + L".txt";
}

std::wstring ReportToAnnounce(const common::SecureFolder& folder) {
  const std::vector<std::wstring> names = ReportNames(folder);
  if (names.empty()) return {};
  std::string announced;
  folder.Read(kAnnounced, kLargestMarker, announced);
  const std::string newest = common::Utf8(names.back());
  if (newest <= announced) return {};
  folder.Replace(kAnnounced, newest);
  return folder.Path() + L"\\" + names.back();
}

}  // namespace crash
