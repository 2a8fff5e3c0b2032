#pragma once
// This test program's own operator new: it counts the bytes the program holds, and can refuse
// large requests as happens when memory runs out.

#include <cstddef>

namespace heapprobe {

// While it lives, requests for more than `bytes` fail with std::bad_alloc.
class RequestLimit {
 public:
  explicit RequestLimit(size_t bytes);
  ~RequestLimit();
  RequestLimit(const RequestLimit&) = delete;
  RequestLimit& operator=(const RequestLimit&) = delete;
};

// The most bytes held at once from its construction on, above what was held then.
class Peak {
 public:
  Peak();
  size_t Bytes() const;

 private:
  size_t base_;
};

}  // namespace heapprobe
