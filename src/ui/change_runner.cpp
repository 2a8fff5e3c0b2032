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

namespace {

// The runner's front-end: the owner's boxes, preview and status line, Windows' own places.
class WindowFrontEnd : public common::TFrontEnd {
 public:
  WindowFrontEnd(HWND owner, const std::function<void(const std::wstring&)>& status,
                 const std::function<void()>& changed)
      : owner_(owner), status_(status), changed_(changed) {}

  bool Show(const common::TBox& box) override {
    return ShowMessageBox(owner_, KindOf(box.Kind), box.Text, ButtonsOf(box.Buttons), box.DefaultNo) == mrYes;
  }

  bool Preview(const common::TPreviewPart& part) override {
    return PreviewSeam(PreviewRequest{owner_, part.Title, part.Question, part.Summary, part.About, part.Steps,
                                      part.Step, part.Detail}) == IDYES;
  }

  common::TOutcome Apply(const common::TChangeRequest& request) override {
    common::TOutcome outcome;
    {
      TCursorHourGlass busy;
      try {
        outcome = request.Apply([&](size_t done, size_t total) {
          if (status_ && request.ProgressText) status_(request.ProgressText(done, total));
          PumpWaitingMessages();
        });
      } catch (const Exception& e) {
        outcome = common::TOutcome{common::TResult::Failed, {common::TBoxKind::Warning, e.Message()}};
      }
    }
    if (status_) status_(L"");
    return outcome;
  }

  bool OpenShell(common::TShellPlace place, const std::wstring& extension) override {
    if (place == common::TShellPlace::WindowsChooser) return OpenWindowsChooser(owner_, extension) != ChooserOutcome::Nothing;
    return OpenDefaultAppsSettings();
  }

  void Changed() override {
    if (changed_) changed_();
  }

 private:
  HWND owner_;
  const std::function<void(const std::wstring&)>& status_;
  const std::function<void()>& changed_;
};

}  // namespace

common::TOutcome ChangeRunner::Run(const common::TChangeRequest& request) const {
  const OwnedWindowsDisabled quiet(owner_);
  WindowFrontEnd frontEnd(owner_, status_, changed_);
  return common::CarryOut(request, frontEnd);
}

}  // namespace ui
