#include "assoclist/icon_cache.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "assoclist/assoc_table.h"
#include "common/icons.h"
#include "common/text.h"

namespace assoclist {

std::optional<IconLocation> ParseIconLocation(std::wstring_view text) {
  const size_t comma = text.find(L',');
  std::wstring_view file = text.substr(0, comma);
  IconLocation location;
  if (comma != std::wstring_view::npos) location.index = common::StrToIntDef(text.substr(comma + 1), 0);
  if (file.size() >= 2 && file.front() == L'"' && file.back() == L'"') file = file.substr(1, file.size() - 2);
  if (file.empty()) return std::nullopt;

  const std::wstring stored(file);
  std::wstring expanded(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ExpandEnvironmentStringsW(stored.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (length == 0) {
      expanded = stored;
      break;
    }
    if (length <= expanded.size()) {
      expanded.resize(length - 1);
      break;
    }
    expanded.resize(length);
  }
  location.file = std::move(expanded);
  return location;
}

common::UniqueHIcon ExtractSmallIcon(const IconLocation& location, int size) {
  return common::IconFile(location.file).Icon(location.index, size);
}

IconCache::IconCache(int size, common::UniqueHIcon generic, HWND window, UINT message)
    : size_(size),
      window_(window),
      message_(message),
      images_(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 64)),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  if (generic) {
    ImageList_ReplaceIcon(images_.get(), -1, generic.get());
  } else {
    ImageList_SetImageCount(images_.get(), 1);
  }
  if (wake_) thread_.reset(CreateThread(nullptr, 0, &IconCache::Run, this, 0, nullptr));
  if (thread_) SetThreadPriority(thread_.get(), THREAD_PRIORITY_BELOW_NORMAL);
}

IconCache::~IconCache() { Stop(); }

int IconCache::ImageOf(const IconLocation& location) {
  std::wstring key = FoldCase(location.file) + L"|" + common::IntToStr(location.index);
  if (auto it = byKey_.find(key); it != byKey_.end()) return it->second == kQueued ? I_IMAGENONE : it->second;
  bool wake;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    if (stopping_ || !thread_) return 0;
    // A worker with a queue is awake already.
    wake = queue_.empty();
    queue_.push_back(Job{key, location});
  }
  byKey_.emplace(std::move(key), kQueued);
  if (wake) SetEvent(wake_.get());
  return I_IMAGENONE;
}

void IconCache::DropQueued() {
  std::deque<Job> dropped;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    dropped.swap(queue_);
  }
  for (const Job& job : dropped) byKey_.erase(job.key);
}

size_t IconCache::TakeExtracted(size_t most) {
  std::vector<Result> taken;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    const size_t count = std::min(most, done_.size());
    taken.assign(std::make_move_iterator(done_.begin()), std::make_move_iterator(done_.begin() + count));
    done_.erase(done_.begin(), done_.begin() + count);
  }
  for (Result& result : taken) {
    const int image = result.icon ? ImageList_ReplaceIcon(images_.get(), -1, result.icon.get()) : -1;
    byKey_[result.key] = image > 0 ? image : 0;
  }
  return taken.size();
}

bool IconCache::Idle() const {
  const std::lock_guard<std::mutex> guard(lock_);
  return queue_.empty() && !busy_ && done_.empty();
}

void IconCache::Stop() {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    queue_.clear();
  }
  if (thread_) {
    SetEvent(wake_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
  }
  const std::lock_guard<std::mutex> guard(lock_);
  done_.clear();
}

DWORD WINAPI IconCache::Run(void* self) {
  static_cast<IconCache*>(self)->Work();
  return 0;
}

void IconCache::Work() {
  for (;;) {
    WaitForSingleObject(wake_.get(), INFINITE);
    for (;;) {
      Job job;
      {
        const std::lock_guard<std::mutex> guard(lock_);
        if (stopping_) return;
        if (queue_.empty()) break;
        job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
      }
      common::UniqueHIcon icon;
      try {
        icon = ExtractSmallIcon(job.location, size_);
      } catch (...) {
        // No memory for the file's name or checks: the row keeps the generic icon.
      }
      bool announce;
      {
        const std::lock_guard<std::mutex> guard(lock_);
        busy_ = false;
        if (stopping_) return;
        announce = done_.empty();
        done_.push_back(Result{std::move(job.key), std::move(icon)});
      }
      if (announce) PostMessageW(window_, message_, 0, 0);
    }
  }
}

}  // namespace assoclist
