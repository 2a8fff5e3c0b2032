#include "support/temp_files.h"

#include "common/text.h"

#include <algorithm>
#include <atomic>

#include "common/handles.h"

namespace testsupport {

namespace {

std::atomic<int> g_folderSerial{0};

std::string Convert(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

void RemoveTree(const std::wstring& path) {
  for (const std::wstring& name : FolderEntries(path)) {
    std::wstring child = path + L"\\" + name;
    DWORD attributes = GetFileAttributesW(child.c_str());
    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      RemoveTree(child);
    else
      DeleteFileW(child.c_str());
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

std::string ReadBytes(const std::wstring& path) {
  common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
  common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file) << "cannot create the test file, error " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  common::UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return names;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find.get(), &data));
  std::sort(names.begin(), names.end());
  return names;
}

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"tavrelo-settings-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++g_folderSerial);
  RemoveTree(path_);
  EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << "cannot create the test folder";
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string Utf8(std::wstring_view text) { return Convert(CP_UTF8, text); }

std::string Ansi(std::wstring_view text) { return Convert(CP_ACP, text); }

std::wstring TestData(const std::wstring& name) {
  // Test executables live in build\tests\<subsystem>.
  std::wstring dir = common::ModuleFileName();
  for (int up = 0; up < 3; ++up) dir = dir.substr(0, dir.find_last_of(L'\\'));
  return dir + L"\\testdata\\" + name;
}

std::wstring SystemShell32() {
  wchar_t dir[MAX_PATH];
  GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\shell32.dll";
}

std::wstring Written(const std::wstring& path, std::string_view bytes) {
  WriteBytes(path, bytes);
  return path;
}

}  // namespace testsupport
