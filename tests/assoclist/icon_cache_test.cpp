// The list's icons: the DefaultIcon text read as the read-back reads it, small icons through
// the checked reading, and the cache that takes them from files on its worker thread.
#include "assoclist/icon_cache.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "support/temp_files.h"

namespace {

using assoclist::IconCache;
using assoclist::IconLocation;

std::wstring WindowsFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetWindowsDirectoryW(folder, MAX_PATH);
  return folder;
}

TEST(IconLocationTest, ReadsFileAndIndexAsTheReadBackDoes) {
  const std::wstring windows = WindowsFolder();
  struct Case {
    std::wstring text;
    std::wstring file;
    int index;
  };
  const Case cases[] = {
      {L"C:\\x.dll,3", L"C:\\x.dll", 3},
      {L"C:\\x.dll", L"C:\\x.dll", 0},
      {L"C:\\x.dll,-101", L"C:\\x.dll", -101},
      {L"C:\\x.dll, 5", L"C:\\x.dll", 5},
      {L"C:\\x.dll,$10", L"C:\\x.dll", 16},
      {L"C:\\x.dll,one", L"C:\\x.dll", 0},
      {L"C:\\a,b\\x.dll,2", L"C:\\a", 0},  // the file ends at the first comma
      {L"\"C:\\Program Files\\x.exe\",1", L"C:\\Program Files\\x.exe", 1},
      {L"%SystemRoot%\\system32\\shell32.dll,4", windows + L"\\system32\\shell32.dll", 4},
      {L"%TavreloNoSuchVariable%\\x.dll", L"%TavreloNoSuchVariable%\\x.dll", 0},
      {L"%1", L"%1", 0},
  };
  for (const Case& c : cases) {
    const auto location = assoclist::ParseIconLocation(c.text);
    ASSERT_TRUE(location) << testing::PrintToString(c.text);
    EXPECT_EQ(location->file, c.file) << testing::PrintToString(c.text);
    EXPECT_EQ(location->index, c.index) << testing::PrintToString(c.text);
  }
  for (const wchar_t* none : {L"", L",3", L"\"\",1"}) EXPECT_FALSE(assoclist::ParseIconLocation(none)) << none;
}

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {};
  const common::UniqueHBitmap color(info.hbmColor), mask(info.hbmMask);
  BITMAP bitmap{};
  GetObjectW(color ? color.get() : mask.get(), sizeof bitmap, &bitmap);
  return {bitmap.bmWidth, color ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

TEST(SmallIconTest, TakesTheWantedSizeAndNothingFromMissingOrCraftedFiles) {
  const std::wstring shell32 = testsupport::SystemShell32();
  for (int size : {16, 24}) {
    const common::UniqueHIcon icon = assoclist::ExtractSmallIcon({shell32, 3}, size);
    ASSERT_TRUE(icon) << size;
    const SIZE got = IconSize(icon.get());
    EXPECT_EQ(got.cx, size);
    EXPECT_EQ(got.cy, size);
  }
  // A negative index names the icon group by its resource id.
  EXPECT_TRUE(assoclist::ExtractSmallIcon({testsupport::TestData(L"icons3.dll"), -2}, 16));
  EXPECT_TRUE(assoclist::ExtractSmallIcon({testsupport::TestData(L"app.ico"), 0}, 16));

  const testsupport::TempFolder folder;
  const std::string library = testsupport::ReadBytes(testsupport::TestData(L"icons3.dll"));
  ASSERT_GT(library.size(), 1024u);
  const IconLocation bad[] = {
      {folder / L"missing.dll", 0},
      {shell32, 100000},
      {shell32, -1},
      {testsupport::Written(folder / L"text.dll", "MZ not a library\r\n"), 0},
      // Cut inside its headers: the checked reading never hands it to the platform.
      {testsupport::Written(folder / L"cut.dll", library.substr(0, 400)), 0},
      {testsupport::Written(folder / L"cut.ico", testsupport::ReadBytes(testsupport::TestData(L"app.ico")).substr(0, 30)),
       0},
      {folder.Path(), 0},
  };
  for (const IconLocation& location : bad)
    EXPECT_FALSE(assoclist::ExtractSmallIcon(location, 16)) << testing::PrintToString(location.file);
}

class IconCacheTest : public testing::Test {
 protected:
  void SetUp() override {
    owner_.reset(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    window_ = owner_.get();
    ASSERT_TRUE(window_);
  }

  // Takes the announced icons into the list until the cache is idle (at most 10 s).
  void Settle(IconCache& cache) {
    const DWORD start = GetTickCount();
    while (!cache.Idle() && GetTickCount() - start < 10000) {
      MSG msg;
      if (PeekMessageW(&msg, window_, kReady, kReady, PM_REMOVE)) {
        cache.TakeExtracted();
      } else {
        Sleep(5);
      }
    }
    ASSERT_TRUE(cache.Idle());
  }

  static constexpr UINT kReady = WM_APP + 5;
  common::UniqueHwnd owner_;
  HWND window_ = nullptr;
};

TEST_F(IconCacheTest, TakesEachFileAndIndexOnceAndAnnouncesThem) {
  const std::wstring shell32 = testsupport::SystemShell32();
  IconCache cache(16, assoclist::ExtractSmallIcon({shell32, 0}, 16), window_, kReady);
  EXPECT_EQ(ImageList_GetImageCount(cache.Images()), 1) << "the generic icon";

  EXPECT_EQ(cache.ImageOf({shell32, 3}), I_IMAGENONE);
  EXPECT_EQ(cache.ImageOf({shell32, 3}), I_IMAGENONE);
  EXPECT_EQ(cache.ImageOf({L"C:\\Tavrelo\\missing.dll", 0}), I_IMAGENONE);
  Settle(cache);
  EXPECT_EQ(cache.TakeExtracted(), 0u) << "everything was taken";
  EXPECT_EQ(cache.ImageOf({shell32, 3}), 1);
  // Files compare with letter case aside: the same icon, no second extraction.
  std::wstring upper = shell32;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  EXPECT_EQ(cache.ImageOf({upper, 3}), 1);
  EXPECT_EQ(cache.ImageOf({L"C:\\Tavrelo\\missing.dll", 0}), 0) << "the generic icon for good";
  EXPECT_EQ(ImageList_GetImageCount(cache.Images()), 2);

  // The window's thread may take them a few at a time.
  cache.ImageOf({shell32, 4});
  cache.ImageOf({shell32, 5});
  size_t taken = 0;
  for (const DWORD start = GetTickCount(); taken < 2 && GetTickCount() - start < 10000; Sleep(5)) {
    const size_t now = cache.TakeExtracted(1);
    EXPECT_LE(now, 1u);
    taken += now;
  }
  EXPECT_EQ(taken, 2u);
  EXPECT_EQ(ImageList_GetImageCount(cache.Images()), 4);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(cache.Images(), &cx, &cy);
  EXPECT_EQ(cx, 16);
  EXPECT_EQ(cy, 16);
}

TEST_F(IconCacheTest, DroppedIconsAreAskedForAgainAndAStoppedCacheQueuesNothing) {
  const std::wstring shell32 = testsupport::SystemShell32();
  IconCache cache(16, {}, window_, kReady);
  for (int index = 0; index < 40; ++index) cache.ImageOf({shell32, index});
  cache.DropQueued();
  Settle(cache);
  // An icon dropped before the worker reached it is queued again, never given up.
  for (int index = 0; index < 40; ++index) EXPECT_NE(cache.ImageOf({shell32, index}), 0) << index;
  Settle(cache);
  for (int index = 0; index < 40; ++index) EXPECT_GT(cache.ImageOf({shell32, index}), 0) << index;

  for (int index = 40; index < 80; ++index) cache.ImageOf({shell32, index});
  cache.Stop();
  EXPECT_TRUE(cache.Idle());
  EXPECT_EQ(cache.ImageOf({shell32, 90}), 0);
  EXPECT_TRUE(cache.Idle());
}

}  // namespace
