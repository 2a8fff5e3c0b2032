#pragma once
// A form that lives beside the main window rather than in front of it (not modal): it is made as
// Modeless<T>, which destroys its window while T still handles the window's messages, and
// Activate brings it back to the user.

#include <concepts>

#include "ui/form.h"

namespace ui {

class ModelessForm : public Form {
 public:
  // Shows the window, restored when minimised, and makes it the foreground window; the control
  // that had the focus when it was left gets it back.
  void Activate();

 protected:
  explicit ModelessForm(int dpi) : Form(dpi) {}

 private:
  // Only Modeless answers it: a class built on this base stays abstract until Modeless finishes
  // it, so that none is made without the destructor below.
  virtual void MadeAsModeless() = 0;
};

// The modeless form T as it is made. Its destructor destroys the window first: the messages of
// the window's last moments (WM_DESTROY, the notifications of its controls) reach T's handlers
// while T's members still live, never a half-destroyed object.
template <typename T>
  requires std::derived_from<T, ModelessForm>
class Modeless final : public T {
 public:
  using T::T;
  ~Modeless() override {
    if (HWND window = this->Handle()) DestroyWindow(window);
  }

 private:
  void MadeAsModeless() override {}
};

}  // namespace ui
