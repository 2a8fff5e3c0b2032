#pragma once
// Files for tests: a fresh folder per test, and files read and written byte for byte.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);
// Creates or replaces a file with exactly these bytes.
void WriteBytes(const std::wstring& path, std::string_view bytes);
// The names of the entries of a folder, without "." and "..", sorted.
std::vector<std::wstring> FolderEntries(const std::wstring& folder);
// A fresh, empty folder below the temporary folder, and everything in it removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& Path() const { return path_; }
  // The path of name inside the folder.
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// A file of the build's test data folder (build\testdata: the icon libraries, app.ico).
std::wstring TestData(const std::wstring& name);
// The system's shell32.dll, which holds many icons.
std::wstring SystemShell32();
// Writes bytes to path (as WriteBytes) and answers the path, for use inside expressions.
std::wstring Written(const std::wstring& path, std::string_view bytes);

// The UTF-8 bytes of a text (for writing test files in a known encoding).
std::string Utf8(std::wstring_view text);
// The bytes of a text in the ANSI code page.
std::string Ansi(std::wstring_view text);

}  // namespace testsupport
