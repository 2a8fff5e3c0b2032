#include "ui/modeless_form.h"

namespace ui {

void ModelessForm::Activate() {
  ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
  // Activation gives the window the focus; Form hands it on to the control that last had it.
  SetForegroundWindow(Handle());
}

}  // namespace ui
