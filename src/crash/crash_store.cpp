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

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The report names in folder ("<stamp>.txt"), oldest first.
std::vector<std::wstring> ReportNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const common::UniqueFindHandle search(FindFirstFileW((folder + L"\\*.txt").c_str(), &found));
  if (!search) return names;
  do {
    // "yyyymmdd-hhmmss-fff.txt": the name sorts by time.
    const std::wstring_view name(found.cFileName);
    const bool stamped = name.size() == 23 && name[8] == L'-' && name[15] == L'-' &&
                         std::all_of(name.begin(), name.begin() + 8, iswdigit);
    if (stamped && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(name);
  } while (FindNextFileW(search.get(), &found));
  std::sort(names.begin(), names.end());
  return names;
}

bool RealWriteMinidump(const std::wstring& path, DWORD threadId, EXCEPTION_POINTERS* exception) {
  common::UniqueFileHandle dump(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!dump) return false;
  MINIDUMP_EXCEPTION_INFORMATION info{threadId, exception, FALSE};
  return MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), dump.get(),
                           static_cast<MINIDUMP_TYPE>(MiniDumpNormal | MiniDumpWithThreadInfo),
                           exception ? &info : nullptr, nullptr, nullptr) != FALSE;
}

}  // namespace

common::Seam<bool(const std::wstring&, DWORD, EXCEPTION_POINTERS*)> WriteMinidump(&RealWriteMinidump);

std::wstring WriteReport(const std::wstring& folder, const std::wstring& report, DWORD threadId,
                         EXCEPTION_POINTERS* exception) {
  CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t stamp[24];
  std::swprintf(stamp, std::size(stamp), L"%04u%02u%02u-%02u%02u%02u-%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  const std::wstring base = folder + L"\\" + stamp;
  if (!WriteFileBytes(base + L".txt", ReportBytes(report))) return {};

  WriteMinidump(base + L".dmp", threadId, exception);

  const std::vector<std::wstring> names = ReportNames(folder);
  for (size_t i = 0; i + kReportsKept < names.size(); ++i) {
    const std::wstring old = folder + L"\\" + names[i];
    DeleteFileW(old.c_str());
    DeleteFileW((old.substr(0, old.size() - 4) + L".dmp").c_str());
  }
  return base + L".txt";
}

std::wstring ReportToAnnounce(const std::wstring& folder) {
  const std::vector<std::wstring> names = ReportNames(folder);
  if (names.empty()) return {};
  const std::wstring marker = folder + L"\\" + kAnnounced;
  std::string announced;
  {
    common::UniqueFileHandle file(CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[64] = {};
    DWORD read = 0;
    if (file && ReadFile(file.get(), buffer, sizeof buffer - 1, &read, nullptr)) announced.assign(buffer, read);
  }
  const std::string newest = common::Utf8(names.back());
  if (newest <= announced) return {};
  WriteFileBytes(marker, newest);
  return folder + L"\\" + names.back();
}

}  // namespace crash
