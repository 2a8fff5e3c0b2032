// Where libraries loaded by name come from once the search is restricted.
#include "common/libraries.h"

#include <gtest/gtest.h>

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

TEST(RestrictLibrarySearch, ALibraryInTheCurrentFolderIsNoLongerFound) {
  const TempFolder scratch;
  Written(scratch / L"tavrelo-planted.dll", testsupport::ReadBytes(TestData(L"icons3.dll")));
  const CurrentFolder current(scratch.Path());
  {
    const common::UniqueHModule planted(LoadLibraryW(L"tavrelo-planted.dll"));
    ASSERT_TRUE(planted) << "the current folder is searched before the restriction";
  }
  ASSERT_TRUE(common::RestrictLibrarySearch());
  const common::UniqueHModule planted(LoadLibraryW(L"tavrelo-planted.dll"));
  EXPECT_FALSE(planted);
  const common::UniqueHModule system(LoadLibraryW(L"version.dll"));
  EXPECT_TRUE(system) << "system libraries are still found";
}

}  // namespace
