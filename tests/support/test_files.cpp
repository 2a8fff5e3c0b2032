#include "support/test_files.h"

#include <windows.h>

#include "common/handles.h"
#include "common/text.h"

namespace testsupport {

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

std::wstring ScratchFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"tavrelo テスト " + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::wstring WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  common::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return path;
}

std::string ReadFileBytes(const std::wstring& path) {
  common::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes(GetFileSize(file.get(), nullptr), '\0');
  DWORD got = 0;
  if (!bytes.empty()) ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  return bytes;
}

}  // namespace testsupport
