// A form whose window cannot be made leaves nothing behind.
#include "ui/form.h"

#include <gtest/gtest.h>

#include "resource.h"

namespace {

// A form of no controls with the main menu, made for owner.
class MenuForm : public ui::Form {
 public:
  explicit MenuForm(HWND owner) : Form(96) {
    static constexpr ui::FormDef kDef{
        L"menu", 200, 100, 0, WS_OVERLAPPEDWINDOW, 0, IDR_MAINMENU, 0, false, ui::FormPosition::ScreenCenter, 0};
    CreateForm(owner, kDef, {}, {}, {});
  }
};

TEST(Form, AWindowThatCannotBeMadeLeavesNoMenuBehind) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(gone);
  DestroyWindow(gone);
  // Windows counts a process's objects; Wine does not, but hands out the handle freed last
  // first: a menu loaded and destroyed just before marks the handles that the form's menu
  // takes, and gets them back unless that menu leaks.
  const DWORD objects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  HMENU before = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINMENU));
  ASSERT_TRUE(before);
  DestroyMenu(before);
  {
    MenuForm form(gone);
    EXPECT_FALSE(form.Handle());
  }
  if (objects != 0) {
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), objects);
    return;
  }
  HMENU after = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINMENU));
  EXPECT_EQ(LOWORD(reinterpret_cast<ULONG_PTR>(after)), LOWORD(reinterpret_cast<ULONG_PTR>(before)));
  DestroyMenu(after);
}

}  // namespace
