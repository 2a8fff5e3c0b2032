// The modeless form's base: the window goes before the derived form's members, and Activate
// brings a hidden or minimised window back to the front with its focus.
#include "ui/modeless_form.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace {

// Notes in a log when it is destroyed.
struct Witness {
  std::vector<std::string>* log;
  ~Witness() { log->push_back("member destroyed"); }
};

// A form of two fields that notes in a log the last messages of its window.
class Probe : public ui::ModelessForm {
 public:
  enum : int { kFirst = 100, kSecond };
  explicit Probe(std::vector<std::string>& log) : ModelessForm(96), log_(log), witness_{&log} {
    static constexpr ui::FormDef kDef{
        L"probe", 200, 100, 0, WS_OVERLAPPEDWINDOW, 0, 0, 0, false, ui::FormPosition::ScreenCenter, kFirst};
    static constexpr ui::ControlDef kControls[] = {
        {kFirst, ui::ControlKind::Edit, {8, 8, 120, 21}, ui::akLeft | ui::akTop},
        {kSecond, ui::ControlKind::Edit, {8, 40, 120, 21}, ui::akLeft | ui::akTop},
    };
    CreateForm(nullptr, kDef, kControls, {}, {});
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_DESTROY) log_.push_back("WM_DESTROY");
    if (msg == WM_NCDESTROY) log_.push_back("WM_NCDESTROY");
    return ModelessForm::HandleMessage(msg, wParam, lParam);
  }

 private:
  std::vector<std::string>& log_;
  Witness witness_;
};

static_assert(std::is_abstract_v<Probe>, "a modeless form is made only as ui::Modeless");

TEST(ModelessForm, DestroyingTheObjectDestroysTheWindowBeforeTheDerivedFormsMembers) {
  std::vector<std::string> log;
  HWND window = nullptr;
  {
    ui::Modeless<Probe> probe(log);
    window = probe.Handle();
    ASSERT_TRUE(window);
    probe.Show();
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(log, (std::vector<std::string>{"WM_DESTROY", "WM_NCDESTROY", "member destroyed"}))
      << "the window's last messages reach the derived form while it is whole";
}

TEST(ModelessForm, ActivateShowsOrRestoresTheWindowAndBringsItForwardWithItsFocus) {
  std::vector<std::string> log;
  ui::Modeless<Probe> probe(log), other(log);
  HWND second = probe.Item(Probe::kSecond);

  probe.Activate();
  EXPECT_TRUE(IsWindowVisible(probe.Handle())) << "a hidden window is shown";
  EXPECT_EQ(GetForegroundWindow(), probe.Handle());
  SetFocus(second);

  other.Show();
  SetForegroundWindow(other.Handle());
  ShowWindow(probe.Handle(), SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(probe.Handle()));
  ASSERT_NE(GetForegroundWindow(), probe.Handle());

  probe.Activate();
  EXPECT_FALSE(IsIconic(probe.Handle()));
  EXPECT_EQ(GetForegroundWindow(), probe.Handle());
  EXPECT_EQ(GetActiveWindow(), probe.Handle());
  EXPECT_EQ(GetFocus(), second) << "the field that had the focus has it again";
}

}  // namespace
