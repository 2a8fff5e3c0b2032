#include "heap_probe.h"

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> gLargestRequest{SIZE_MAX};
std::atomic<size_t> gHeld{0};
std::atomic<size_t> gPeak{0};

}  // namespace

void* operator new(size_t size) {
  void* block = size <= gLargestRequest ? std::malloc(size ? size : 1) : nullptr;
  if (!block) throw std::bad_alloc();
  const size_t held = gHeld += _msize(block);
  for (size_t peak = gPeak; held > peak && !gPeak.compare_exchange_weak(peak, held);) {
  }
  return block;
}

void operator delete(void* block) noexcept {
  if (!block) return;
  gHeld -= _msize(block);
  std::free(block);
}

void operator delete(void* block, size_t) noexcept { operator delete(block); }

namespace heapprobe {

RequestLimit::RequestLimit(size_t bytes) { gLargestRequest = bytes; }
RequestLimit::~RequestLimit() { gLargestRequest = SIZE_MAX; }

Peak::Peak() : base_(gHeld) { gPeak = base_; }
size_t Peak::Bytes() const { return gPeak - base_; }

}  // namespace heapprobe
