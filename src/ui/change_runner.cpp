#include "ui/change_runner.h"

#include "common/cursor.h"
#include "common/exception.h"
#include "ui/message_box.h"
#include "ui/owned_windows.h"
#include "ui/preview_dialog.h"
#include "ui/windows_chooser.h"

namespace ui {

namespace {

BoxKind KindOf(common::TBoxKind kind) {
  switch (kind) {
    case common::TBoxKind::Warning:
      return BoxKind::Warning;
    case common::TBoxKind::Error:
      return BoxKind::Error;
    case common::TBoxKind::Confirmation:
      return BoxKind::Confirmation;
    case common::TBoxKind::Information:
      break;
  }
  return BoxKind::Information;
}

BoxButtons ButtonsOf(common::TBoxButtons buttons) {
  switch (buttons) {
    case common::TBoxButtons::YesNo:
      return BoxButtons::YesNo;
    case common::TBoxButtons::YesNoCancel:
      return BoxButtons::YesNoCancel;
    case common::TBoxButtons::Ok:
      break;
  }
  return BoxButtons::Ok;
}

}  // namespace

ChangeRunner::ChangeRunner(HWND owner, std::function<void(const std::wstring&)> status, std::function<void()> changed)
    : owner_(owner), status_(std::move(status)), changed_(std::move(changed)) {}

std::function<void()> ChangeRunner::Tick(const std::wstring& text) const {
  return [this, text] {
    if (status_) status_(text);
    PumpWaitingMessages();
  };
}

int ChangeRunner::Show(const common::TBox& box) const {
  return ShowMessageBox(owner_, KindOf(box.Kind), box.Text, ButtonsOf(box.Buttons), box.DefaultNo);
}

common::TOutcome ChangeRunner::Run(const common::TChangeRequest& request) const {
  const OwnedWindowsDisabled quiet(owner_);
  const common::TChangeRequest* current = &request;
  common::TRequestRef held;
  for (;;) {
    if (current->Refused) {
      if (!current->Refused->Box.Text.empty()) Show(current->Refused->Box);
      return *current->Refused;
    }
    for (const common::TBox& note : current->Notes) Show(note);
    bool declined = false;
    for (const common::TBox& question : current->Questions) {
      if (Show(question) != mrYes) {
        declined = true;
        break;
      }
    }
    if (!declined && current->Preview) {
      const common::TPreviewPart& part = *current->Preview;
      declined = PreviewSeam(PreviewRequest{owner_, part.Title, part.Question, part.Summary, part.About, part.Steps,
                                            part.Step, part.Detail}) != IDYES;
    }
    if (declined) {
      if (!current->Declined) return common::TOutcome{common::TResult::Declined};
      held = current->Declined;
      current = held.get();
      continue;
    }
    common::TOutcome outcome;
    if (current->Apply) {
      TCursorHourGlass busy;
      try {
        outcome = current->Apply([&](size_t done, size_t total) {
          if (status_ && current->ProgressText) status_(current->ProgressText(done, total));
          PumpWaitingMessages();
        });
      } catch (const Exception& e) {
        outcome = common::TOutcome{common::TResult::Failed, {common::TBoxKind::Warning, e.Message()}};
      }
      if (status_) status_(L"");
    }
    if (outcome.Changed && changed_) changed_();
    if (!outcome.Box.Text.empty()) Show(outcome.Box);
    if (outcome.Result != common::TResult::Failed && current->Shell != common::TShellPlace::None) {
      const bool opened = current->Shell == common::TShellPlace::WindowsChooser
                              ? OpenWindowsChooser(owner_, current->Extension) != ChooserOutcome::Nothing
                              : OpenDefaultAppsSettings();
      if (!opened && !current->ShellFallback.empty())
        Show(common::TBox{common::TBoxKind::Warning, current->ShellFallback});
      if (changed_) changed_();
    }
    if (!outcome.Next) return outcome;
    held = outcome.Next;
    current = held.get();
  }
}

}  // namespace ui
