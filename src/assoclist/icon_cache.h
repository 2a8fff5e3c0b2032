#pragma once
// The small icons of the list of associations: taken from their files on a worker thread, so
// that the window never waits for a file, and kept per file and index for the window's life.

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/handles.h"

namespace assoclist {

// An icon in a file: index as ExtractIconW takes it (a negative one is a resource id).
struct IconLocation {
  std::wstring file;
  int index = 0;
};

// The icon that a DefaultIcon text names, read as the read-back reads it: the file ends at the
// first comma and the index follows it (0 when there is none, or no number). For the search
// only, a pair of quotation marks around the file is dropped and environment references are
// expanded. Nothing when the file part is empty.
std::optional<IconLocation> ParseIconLocation(std::wstring_view text);

// The icon at location, size x size pixels when the file has that size, taken through the
// checked reading that the preview uses (common::IconFile): empty when the file is missing,
// cut short or crafted, or holds no such icon.
common::UniqueHIcon ExtractSmallIcon(const IconLocation& location, int size);

class IconCache {
 public:
  // An image list of size x size images whose image 0 is generic (blank when generic is
  // empty). Icons taken from files are announced by posting message to window (with no
  // parameters) whenever some are waiting to go into the list; then call TakeExtracted.
  IconCache(int size, common::UniqueHIcon generic, HWND window, UINT message);
  // Stops the worker (see Stop).
  ~IconCache();
  IconCache(const IconCache&) = delete;
  IconCache& operator=(const IconCache&) = delete;

  HIMAGELIST Images() const { return images_.get(); }
  // The image of location: its index in Images() once taken; I_IMAGENONE (no image) while it
  // waits; 0 for good when its file yields no icon, and once the worker is stopped. The first
  // ask queues it for the worker. Files compare with letter case aside.
  int ImageOf(const IconLocation& location);
  // Forgets the queued icons that the worker has not started (the rows that wanted them went
  // out of view; they are queued again when asked again).
  void DropQueued();
  // Puts at most most of the icons that the worker finished into the list, the oldest first, so
  // that the window's thread is never held up long; answers how many it took (when that is
  // most, more may wait: call again).
  size_t TakeExtracted(size_t most = static_cast<size_t>(-1));
  // True when nothing is queued, in the worker's hands or waiting to be taken.
  bool Idle() const;
  // Tells the worker to end after the icon in its hands and waits for it; afterwards nothing is
  // queued any more. Icons not yet taken are destroyed.
  void Stop();

 private:
  static constexpr int kQueued = -1;
  struct Job {
    std::wstring key;
    IconLocation location;
  };
  struct Result {
    std::wstring key;
    common::UniqueHIcon icon;
  };
  static DWORD WINAPI Run(void* self);
  void Work();

  int size_;
  HWND window_;
  UINT message_;
  common::UniqueHImageList images_;
  std::unordered_map<std::wstring, int> byKey_;  // the window's thread only

  mutable std::mutex lock_;  // guards the members below
  std::deque<Job> queue_;
  std::vector<Result> done_;
  bool busy_ = false;
  bool stopping_ = false;

  common::UniqueKernelHandle wake_;  // auto-reset: work was queued or the worker must stop
  common::UniqueKernelHandle thread_;
};

}  // namespace assoclist
