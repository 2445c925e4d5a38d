#include "alt/expansion_crew.h"

namespace kelm {

void ExpansionCrew::expandBatch(std::size_t designs,
                                const std::function<void(int, std::size_t)>& expandOne) {
  if (threads_ <= 1) {
    for (std::size_t place = 0; place < designs; ++place) expandOne(0, place);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    designs_ = designs;
    expandOne_ = &expandOne;
    next_.store(0, std::memory_order_relaxed);
    open_ = true;
    helpersJoined_ = 0;
    ++batch_;
  }
  handedOut_.notify_all();
  if (dealt_) {
    std::unique_lock<std::mutex> lock(mutex_);
    helperJoined_.wait(lock, [&] { return helpersJoined_ == threads_ - 1; });
  }
  takeDesigns(0);
  std::unique_lock<std::mutex> lock(mutex_);
  open_ = false;
  helperLeft_.wait(lock, [&] { return helpersAtWork_ == 0; });
  expandOne_ = nullptr;
}

void ExpansionCrew::serve(int thread) {
  long long served = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      handedOut_.wait(lock, [&] { return dismissed_ || (open_ && batch_ != served); });
      if (dismissed_) return;
      served = batch_;
      ++helpersAtWork_;
      ++helpersJoined_;
    }
    helperJoined_.notify_one();
    takeDesigns(thread);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --helpersAtWork_;
    }
    helperLeft_.notify_one();
  }
}

void ExpansionCrew::dismiss() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dismissed_ = true;
  }
  handedOut_.notify_all();
}

void ExpansionCrew::takeDesigns(int thread) {
  if (dealt_) {
    for (std::size_t place = static_cast<std::size_t>(thread); place < designs_; place += threads_)
      (*expandOne_)(thread, place);
    return;
  }
  for (std::size_t place = next_.fetch_add(1, std::memory_order_relaxed); place < designs_;
       place = next_.fetch_add(1, std::memory_order_relaxed))
    (*expandOne_)(thread, place);
}

}  // namespace kelm
