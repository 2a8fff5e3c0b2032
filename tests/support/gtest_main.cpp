// Entry point of every test executable: common controls version 6, then GoogleTest.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
  InitCommonControlsEx(&icc);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
