#pragma once
// The errors of this program: each carries the message text that the user is shown.

#include <string>
#include <utility>

// The general error. Commands that report failures catch this class and show Message().
class Exception {
 public:
  explicit Exception(std::wstring message) : message_(std::move(message)) {}
  virtual ~Exception() = default;
  // The text shown to the user, exactly as raised.
  const std::wstring& Message() const noexcept { return message_; }

 private:
  std::wstring message_;
};

// A failure of the registry accessor (setting or reading a value).
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};
