#pragma once
// The application object: title, help file, message loops, the idle handler and the display
// of exceptions that no command catches.

#include <windows.h>

#include <functional>
#include <string>

namespace ui {

class Form;

class Application {
 public:
  // The one application object of the process.
  static Application& Instance();

  const std::wstring& Title() const { return title_; }
  void SetTitle(std::wstring title) { title_ = std::move(title); }
  const std::wstring& HelpFile() const { return helpFile_; }
  void SetHelpFile(std::wstring file) { helpFile_ = std::move(file); }

  // Installs (or, with an empty function, removes) the handler run each time the message
  // queue has become empty, on behalf of owner (see RemoveOnIdle). A handler may remove itself
  // while it runs.
  void SetOnIdle(std::function<void()> handler, const void* owner = nullptr) {
    onIdle_ = std::move(handler);
    idleOwner_ = onIdle_ ? owner : nullptr;
  }
  // Removes the idle handler when owner installed it; a handler of another owner stays.
  void RemoveOnIdle(const void* owner) {
    if (onIdle_ && idleOwner_ == owner) SetOnIdle(nullptr);
  }
  bool HasIdleHandler() const { return static_cast<bool>(onIdle_); }

  // Shows mainForm and runs the message loop until that window is closed.
  void Run(Form& mainForm);
  // Runs a nested loop until form has a modal result or its window is gone.
  void RunModal(Form& form);
  // Handles one message: the form it is meant for looks at it first, then it is dispatched.
  // An exception that escapes is shown by HandleException.
  void Dispatch(MSG& msg);
  // Runs the idle handler once, if one is installed.
  void Idle();

  // Shows the exception being handled in the top-level error box. Call only inside a catch. An
  // exception of a type the program does not know, or running out of memory where the box cannot
  // be shown, goes to the fault handler when one is set.
  void HandleException() noexcept;
  // The top-level error box: titled with the application title, stop icon, OK. False when it
  // could not be shown.
  bool ShowException(const std::wstring& message) noexcept;
  // Installs what takes the failures that are no errors of the program (see HandleException);
  // it is told what failed and does not return.
  void SetFaultHandler(std::function<void(const std::wstring& what)> handler) { faultHandler_ = std::move(handler); }
  // The text of the top-level error box for an exception message: a "." is appended when
  // the message is not empty and its last character's code is greater than that of ".".
  static std::wstring ErrorBoxText(std::wstring message);

  // Opens the help file at its table of contents.
  void HelpContents(HWND owner) const;
  // Opens the help file at the topic of help context number context.
  void HelpContext(HWND owner, int context) const;

 private:
  Application() = default;
  std::wstring title_;
  std::wstring helpFile_;
  std::function<void()> onIdle_;
  const void* idleOwner_ = nullptr;
  std::function<void(const std::wstring&)> faultHandler_;
};

}  // namespace ui
