// The built tool imports, when it loads, only libraries the system loads from its own folder
// whatever lies beside the executable: the known DLLs, and common controls, which the manifest
// takes from the side-by-side store. Everything else is delay-loaded from System32.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace {

// build/<name>, three folders up from build/tests/app/test_app.exe.
std::wstring ToolPath(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  for (int up = 0; up < 3; ++up) p.resize(p.find_last_of(L'\\'));
  return p + L"\\" + name;
}

// The text of the image's manifest resource; empty when it has none.
std::string Manifest(const std::wstring& path) {
  const HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!image) return {};
  std::string text;
  if (const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))
    if (const HGLOBAL loaded = LoadResource(image, found))
      text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(image, found));
  FreeLibrary(image);
  return text;
}

template <typename T>
std::optional<T> At(const std::string& image, size_t offset) {
  if (offset > image.size() || image.size() - offset < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, image.data() + offset, sizeof value);
  return value;
}

// The names of the libraries a PE32+ image imports when it loads, read from its bytes; nothing
// when the headers or the import directory do not hold together.
std::optional<std::vector<std::string>> StaticImports(const std::string& image) {
  const auto dos = At<IMAGE_DOS_HEADER>(image, 0);
  if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return std::nullopt;
  const auto nt = At<IMAGE_NT_HEADERS64>(image, static_cast<size_t>(dos->e_lfanew));
  if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
    return std::nullopt;
  const size_t sections = static_cast<size_t>(dos->e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                          nt->FileHeader.SizeOfOptionalHeader;
  // The file offset of a relative address, through the section that holds it.
  const auto offsetOf = [&](DWORD rva) -> std::optional<size_t> {
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
      const auto s = At<IMAGE_SECTION_HEADER>(image, sections + i * sizeof(IMAGE_SECTION_HEADER));
      if (!s) return std::nullopt;
      if (rva >= s->VirtualAddress && rva - s->VirtualAddress < s->SizeOfRawData)
        return s->PointerToRawData + (rva - s->VirtualAddress);
    }
    return std::nullopt;
  };
  const IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::vector<std::string> names;
  if (directory.VirtualAddress == 0) return names;
  const auto first = offsetOf(directory.VirtualAddress);
  if (!first) return std::nullopt;
  for (size_t at = *first;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(image, at);
    if (!descriptor) return std::nullopt;
    if (descriptor->Name == 0) break;
    const auto name = offsetOf(descriptor->Name);
    if (!name) return std::nullopt;
    const size_t end = image.find('\0', *name);
    if (end == std::string::npos) return std::nullopt;
    names.push_back(image.substr(*name, end - *name));
  }
  return names;
}

TEST(ImportTable, TheToolImportsOnlyKnownSystemLibrariesWhenItLoads) {
  // Known DLLs on every Windows from 7 on, taken from the system folder before anything else is
  // searched; common controls 6, which the tool's manifest redirects to the side-by-side store; and
  // ntdll, which the system maps into every process before any library is looked for.
  const char* const allowed[] = {"KERNEL32.dll", "USER32.dll", "GDI32.dll",  "ADVAPI32.dll", "SHELL32.dll",
                                 "SHLWAPI.dll",  "ole32.dll",  "OLEAUT32.dll", "comdlg32.dll", "msvcrt.dll",
                                 "COMCTL32.dll", "ntdll.dll"};
  for (const wchar_t* tool : {L"tavrelo.exe", L"tavrelo.com"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(tool)));
    const std::string image = testsupport::ReadBytes(ToolPath(tool));
    ASSERT_FALSE(image.empty()) << testing::PrintToString(ToolPath(tool));
    const auto imports = StaticImports(image);
    ASSERT_TRUE(imports) << "the import directory could not be read";
    EXPECT_GE(imports->size(), 2u) << "at least KERNEL32 and USER32: the table was read";
    for (const std::string& name : *imports) {
      bool known = false;
      for (const char* a : allowed) known = known || _stricmp(name.c_str(), a) == 0;
      EXPECT_TRUE(known) << name << " is imported when the program loads: the loader may take it from its folder";
      if (_stricmp(name.c_str(), "COMCTL32.dll") == 0) {
        EXPECT_NE(Manifest(ToolPath(tool)).find("Microsoft.Windows.Common-Controls"), std::string::npos)
            << "common controls are imported, but no manifest takes them from the side-by-side store";
      }
    }
  }
}

}  // namespace
