#pragma once
// The errors of this program: each carries the message text that the user is shown.

#include <string>
#include <utility>

// The message of a failure for want of memory. Like the other messages raised, it ends without a
// full stop, which the application's error box adds.
inline constexpr wchar_t kOutOfMemoryMessage[] = L"メモリが不足しています";

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
