#include "ui/application.h"

#include <exception>
#include <new>

#include "common/exception.h"
#include "ui/form.h"
#include "ui/help.h"
#include "ui/message_box.h"

namespace ui {

Application& Application::Instance() {
  static Application app;
  return app;
}

void Application::Dispatch(MSG& msg) {
  try {
    if (Form* form = Form::FromHandle(msg.hwnd); form && form->PreTranslateMessage(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  } catch (...) {
    HandleException();
  }
}

void Application::Idle() {
  if (!onIdle_) return;
  // A copy runs, since the handler may remove itself (and with it the stored function).
  auto handler = onIdle_;
  try {
    handler();
  } catch (...) {
    HandleException();
  }
}

void Application::Run(Form& mainForm) {
  mainForm.isMainForm_ = true;
  mainForm.Show();
  MSG msg;
  for (;;) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      Idle();
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) break;
    Dispatch(msg);
  }
}

void Application::RunModal(Form& form) {
  MSG msg;
  while (form.ModalResult() == mrNone && IsWindow(form.Handle())) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      Idle();
      WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      // The outer loop must see the quit request too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      form.SetModalResult(mrCancel);
      break;
    }
    Dispatch(msg);
  }
}

std::wstring Application::ErrorBoxText(std::wstring message) {
  if (!message.empty() && message.back() > L'.') message += L'.';
  return message;
}

void Application::HandleException() noexcept {
  try {
    throw;
  } catch (const Exception& e) {
    ShowException(e.Message());
  } catch (const std::bad_alloc&) {
    if (!ShowException(kOutOfMemoryMessage) && faultHandler_) faultHandler_(L"std::bad_alloc");
  } catch (const std::exception& e) {
    if (!faultHandler_) return (void)ShowException(L"");
    const std::string what = e.what();
    faultHandler_(L"C++ の例外 std::exception: " + std::wstring(what.begin(), what.end()));
  } catch (...) {
    if (!faultHandler_) return (void)ShowException(L"");
    faultHandler_(L"種類のわからない C++ の例外");
  }
}

bool Application::ShowException(const std::wstring& message) noexcept {
  try {
    return MessageBoxSeam(BoxRequest{GetActiveWindow(), BoxKind::Error, title_, ErrorBoxText(message), BoxButtons::Ok}) != 0;
  } catch (...) {
    // Nothing is left that could show the failure.
    return false;
  }
}

void Application::HelpContents(HWND owner) const { HelpSeam(HelpRequest{owner, helpFile_, kHelpDisplayToc, 0}); }

void Application::HelpContext(HWND owner, int context) const {
  HelpSeam(HelpRequest{owner, helpFile_, kHelpContext, static_cast<DWORD_PTR>(context)});
}

}  // namespace ui
