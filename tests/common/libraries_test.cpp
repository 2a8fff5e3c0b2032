// Where libraries come from: the ones the build delay-loads from the system folder, whatever lies
// beside the program; the ones loaded by name, once the search is restricted, never from the
// current folder or the program's own. The restriction lasts for the rest of the process, so the
// delay-load case comes first and checks that it still sees the open search.
#include "common/libraries.h"

#include <winhttp.h>

#include <gtest/gtest.h>

#include "common/text.h"
#include "support/temp_files.h"

namespace {

using testsupport::TempFolder;
using testsupport::TestData;
using testsupport::Written;

// Makes folder the current folder for its lifetime.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder) {
    GetCurrentDirectoryW(MAX_PATH, saved_);
    EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  }
  ~CurrentFolder() { SetCurrentDirectoryW(saved_); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  wchar_t saved_[MAX_PATH] = {};
};

// A library planted beside this test program for the lifetime of the object: the folder an
// unpacked tool shares with whoever can write there.
class PlantedBesideProgram {
 public:
  explicit PlantedBesideProgram(const std::wstring& name) {
    const std::wstring self = common::ModuleFileName();
    path_ = Written(self.substr(0, self.rfind(L'\\') + 1) + name, testsupport::ReadBytes(TestData(L"icons3.dll")));
  }
  ~PlantedBesideProgram() { DeleteFileW(path_.c_str()); }
  PlantedBesideProgram(const PlantedBesideProgram&) = delete;
  PlantedBesideProgram& operator=(const PlantedBesideProgram&) = delete;

 private:
  std::wstring path_;
};

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length);
}

TEST(DelayLoad, ALibraryTheBuildDelayLoadsComesFromTheSystemFolderWhateverLiesBesideTheProgram) {
  const PlantedBesideProgram probe(L"tavrelo-beside.dll"), planted(L"winhttp.dll");
  {
    const common::UniqueHModule beside(LoadLibraryW(L"tavrelo-beside.dll"));
    ASSERT_TRUE(beside) << "the program's folder is searched: the search is not restricted yet";
  }
  ASSERT_EQ(GetModuleHandleW(L"winhttp.dll"), nullptr) << "not loaded yet";
  // The first call of a delay-loaded function loads its library.
  WinHttpCheckPlatform();
  const HMODULE loaded = GetModuleHandleW(L"winhttp.dll");
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(common::EqualNoCase(common::ModuleFileName(loaded), SystemFolder() + L"\\winhttp.dll"))
      << testing::PrintToString(common::ModuleFileName(loaded));
}

TEST(RestrictLibrarySearch, ALibraryInTheCurrentFolderOrBesideTheProgramIsNoLongerFound) {
  const TempFolder scratch;
  Written(scratch / L"tavrelo-planted.dll", testsupport::ReadBytes(TestData(L"icons3.dll")));
  const PlantedBesideProgram beside(L"tavrelo-beside.dll");
  const CurrentFolder current(scratch.Path());
  for (const wchar_t* name : {L"tavrelo-planted.dll", L"tavrelo-beside.dll"}) {
    const common::UniqueHModule planted(LoadLibraryW(name));
    ASSERT_TRUE(planted) << "searched before the restriction: " << testing::PrintToString(std::wstring(name));
  }
  ASSERT_TRUE(common::RestrictLibrarySearch());
  for (const wchar_t* name : {L"tavrelo-planted.dll", L"tavrelo-beside.dll"}) {
    const common::UniqueHModule planted(LoadLibraryW(name));
    EXPECT_FALSE(planted) << testing::PrintToString(std::wstring(name));
  }
  const common::UniqueHModule system(LoadLibraryW(L"version.dll"));
  EXPECT_TRUE(system) << "system libraries are still found";
}

}  // namespace
