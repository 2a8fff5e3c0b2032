#include "common/handles.h"

#include <gtest/gtest.h>

#include "common/cursor.h"
#include "common/seam.h"

namespace {

TEST(UniqueHandle, ReleasesOnScopeExitAndMovesOwnership) {
  HKEY raw = nullptr;
  {
    common::UniqueHKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    raw = key.get();
    common::UniqueHKey moved(std::move(key));
    EXPECT_FALSE(key);
    EXPECT_EQ(moved.get(), raw);
  }
  // The handle was closed with its last owner.
  DWORD n = 0;
  EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr),
            ERROR_SUCCESS);
}

TEST(UniqueHandle, NeverClosesAPredefinedRoot) {
  { common::UniqueHKey root(HKEY_CURRENT_USER); }
  common::UniqueHKey key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);

  // The roots as the platform's headers define them (sign-extended on 64-bit Windows); Wine
  // ignores closing them either way, so the owner's own answer is what is checked.
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA,
                    HKEY_CURRENT_CONFIG, HKEY_DYN_DATA, HKEY_CURRENT_USER_LOCAL_SETTINGS})
    EXPECT_TRUE(common::HKeyTraits::IsPredefined(root)) << root;
  EXPECT_FALSE(common::HKeyTraits::IsPredefined(key.get()));
}

int Twice(int x) { return 2 * x; }

TEST(Seam, StandInLastsForItsScopeAndNests) {
  common::Seam<int(int)> seam(&Twice);
  EXPECT_EQ(seam(4), 8);
  {
    auto outer = seam.Replace([](int x) { return x + 1; });
    EXPECT_EQ(seam(4), 5);
    {
      auto inner = seam.Replace([](int) { return 0; });
      EXPECT_EQ(seam(4), 0);
      EXPECT_EQ(seam.Real(4), 8);
    }
    EXPECT_EQ(seam(4), 5);
  }
  EXPECT_EQ(seam(4), 8);
}

TEST(TCursorHourGlass, RestoresInReverseOrderAlsoWhenAnExceptionPasses) {
  ASSERT_EQ(screen::Cursor(), screen::crDefault);
  try {
    TCursorHourGlass outer;
    EXPECT_EQ(screen::Cursor(), screen::crHourGlass);
    {
      TCursorHourGlass inner;
      EXPECT_EQ(screen::Cursor(), screen::crHourGlass);
    }
    EXPECT_EQ(screen::Cursor(), screen::crHourGlass);
    throw 1;
  } catch (int) {
  }
  EXPECT_EQ(screen::Cursor(), screen::crDefault);
}

}  // namespace
