#include "assoc/link_extention_base.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "assoc/link_extention_winvista.h"
#include "assoc/link_extention_winxp.h"

namespace {

TEST(CreateLinkExtention, ChoosesTheCleanUpStoreFromWindows6On) {
  struct Case {
    assoc::WindowsVersion version;
    const std::type_info& type;
  };
  const Case cases[] = {
      {{0, 0}, typeid(TLinkExtentionWinXp)},     {{5, 0}, typeid(TLinkExtentionWinXp)},
      {{5, 1}, typeid(TLinkExtentionWinXp)},     {{5, 2}, typeid(TLinkExtentionWinXp)},
      {{6, 0}, typeid(TLinkExtentionWinVista)},  {{6, 1}, typeid(TLinkExtentionWinVista)},
      {{6, 3}, typeid(TLinkExtentionWinVista)},  {{10, 0}, typeid(TLinkExtentionWinVista)},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<TLinkExtentionBase> store = CreateLinkExtention(c.version);
    ASSERT_TRUE(store);
    EXPECT_EQ(typeid(*store), c.type) << c.version.Major << "." << c.version.Minor;
  }
}

TEST(CreateLinkExtention, ReadsTheRunningVersion) {
  const assoc::WindowsVersion version = assoc::RunningWindowsVersion();
  EXPECT_GE(version.Major, 5u) << "GetVersionExW answers under Windows and Wine alike";
  const std::unique_ptr<TLinkExtentionBase> store = CreateLinkExtention();
  EXPECT_EQ(typeid(*store), version.Major >= 6 ? typeid(TLinkExtentionWinVista) : typeid(TLinkExtentionWinXp));
}

}  // namespace
