#pragma once
// Reads the rest of a RowStream on a worker thread and hands the rows over in parts, so that the
// list shows its first page at once and stays usable while the rest arrives.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "assoclist/assoc_rows.h"
#include "common/handles.h"

namespace assoclist {

class RowLoader {
 public:
  // What the worker has read since the last Take.
  struct Part {
    std::vector<AssocRow> rows;
    size_t examined = 0;  // keys examined in all
    size_t total = 0;     // keys to examine in all
    bool done = false;    // every key was examined; no part follows
  };

  // Reads stream to its end on a worker thread. Whenever a part waits to be taken, message is
  // posted to window (no parameters); parts come at most every kPartInterval ms, and the first
  // as soon as there is anything.
  RowLoader(RowStream stream, HWND window, UINT message);
  // Stops the worker (see Stop).
  ~RowLoader();
  RowLoader(const RowLoader&) = delete;
  RowLoader& operator=(const RowLoader&) = delete;

  // The rows read since the last call, with the counts as they are now.
  Part Take();
  // Tells the worker to end after the key in its hands and waits for it. Rows not taken are
  // dropped; afterwards Take answers no rows and done stays as it was.
  void Stop();

  static constexpr DWORD kPartInterval = 150;

 private:
  static DWORD WINAPI Run(void* self);
  void Work();
  // Hands rows and the counts to the window's side; posts the message when none waited.
  void Publish(std::vector<AssocRow>& rows, bool done);

  RowStream stream_;  // the worker's only, until it ends
  HWND window_;
  UINT message_;
  std::atomic<bool> stopping_{false};

  std::mutex lock_;  // guards the members below
  Part waiting_;
  bool announced_ = false;

  common::UniqueKernelHandle thread_;
};

}  // namespace assoclist
