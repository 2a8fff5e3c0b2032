#include "assoclist/row_loader.h"

#include <iterator>

namespace assoclist {

RowLoader::RowLoader(RowStream stream, HWND window, UINT message)
    : stream_(std::move(stream)), window_(window), message_(message) {
  waiting_.examined = stream_.Examined();
  waiting_.total = stream_.Total();
  thread_.reset(CreateThread(nullptr, 0, &RowLoader::Run, this, 0, nullptr));
  if (!thread_) {
    // No worker: the rest is read here, at once.
    std::vector<AssocRow> rows;
    while (stream_.Next(rows)) {
    }
    Publish(rows, true);
    return;
  }
  SetThreadPriority(thread_.get(), THREAD_PRIORITY_BELOW_NORMAL);
}

RowLoader::~RowLoader() { Stop(); }

RowLoader::Part RowLoader::Take() {
  const std::lock_guard<std::mutex> guard(lock_);
  Part part;
  part.rows.swap(waiting_.rows);
  part.examined = waiting_.examined;
  part.total = waiting_.total;
  part.done = waiting_.done;
  announced_ = false;
  return part;
}

void RowLoader::Stop() {
  stopping_ = true;
  if (thread_) {
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }
  const std::lock_guard<std::mutex> guard(lock_);
  waiting_.rows.clear();
}

DWORD WINAPI RowLoader::Run(void* self) {
  static_cast<RowLoader*>(self)->Work();
  return 0;
}

void RowLoader::Work() {
  std::vector<AssocRow> rows;
  DWORD published = GetTickCount() - kPartInterval;
  try {
    for (;;) {
      if (stopping_) return;
      const bool more = stream_.Next(rows);
      if (!more) break;
      if (GetTickCount() - published >= kPartInterval) {
        Publish(rows, false);
        published = GetTickCount();
      }
    }
  } catch (const std::bad_alloc&) {
    // No memory for more rows: the list keeps those it has.
  }
  Publish(rows, true);
}

void RowLoader::Publish(std::vector<AssocRow>& rows, bool done) {
  bool announce;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    if (waiting_.rows.empty()) {
      waiting_.rows.swap(rows);
    } else {
      waiting_.rows.insert(waiting_.rows.end(), std::make_move_iterator(rows.begin()),
                           std::make_move_iterator(rows.end()));
    }
    rows.clear();
    waiting_.examined = stream_.Examined();
    waiting_.total = stream_.Total();
    waiting_.done = done;
    announce = !announced_;
    announced_ = true;
  }
  if (announce) PostMessageW(window_, message_, 0, 0);
}

}  // namespace assoclist
