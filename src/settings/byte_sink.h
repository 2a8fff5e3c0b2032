#pragma once
// Where encoded bytes go while a file is written.

#include <string_view>

namespace settings {

// Receives the bytes of a file in order. Write raises Exception when they cannot be stored.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
};

}  // namespace settings
