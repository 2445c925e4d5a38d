#include "alt/expansion_crew.h"

namespace kelm {

namespace {
constexpr long long kNeverLooked = -1;
}  // namespace

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
  // While a helper finishes the batch's last designs, this thread does idle work if any.
  long long looked = kNeverLooked;  // the wakes when this thread last found no idle work
  for (;;) {
    helperLeft_.wait(lock, [&] {
      return helpersAtWork_ == 0 || (idleWork_ && wakes_ != looked);
    });
    if (helpersAtWork_ == 0) break;
    const long long wakes = wakes_;
    if (!doIdleWork(0, lock)) looked = wakes;
  }
  expandOne_ = nullptr;
}

void ExpansionCrew::serve(int thread) {
  long long served = 0;
  long long looked = kNeverLooked;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    handedOut_.wait(lock, [&] {
      return dismissed_ || (open_ && batch_ != served) || (idleWork_ && wakes_ != looked);
    });
    if (dismissed_) return;
    if (open_ && batch_ != served) {
      served = batch_;
      ++helpersAtWork_;
      ++helpersJoined_;
      lock.unlock();
      helperJoined_.notify_one();
      takeDesigns(thread);
      lock.lock();
      --helpersAtWork_;
      helperLeft_.notify_one();
      continue;
    }
    const long long wakes = wakes_;
    if (!doIdleWork(thread, lock)) looked = wakes;
  }
}

bool ExpansionCrew::doIdleWork(int thread, std::unique_lock<std::mutex>& lock) {
  const std::function<bool(int)>* work = idleWork_;
  ++threadsIdleWorking_;
  lock.unlock();
  const bool done = (*work)(thread);
  lock.lock();
  if (--threadsIdleWorking_ == 0) idleLeft_.notify_all();
  return done;
}

void ExpansionCrew::dismiss() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dismissed_ = true;
  }
  handedOut_.notify_all();
}

void ExpansionCrew::setIdleWork(const std::function<bool(int)>* work) {
  std::unique_lock<std::mutex> lock(mutex_);
  idleWork_ = work;
  idleLeft_.wait(lock, [&] { return threadsIdleWorking_ == 0; });
}

void ExpansionCrew::wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
  }
  handedOut_.notify_all();
  helperLeft_.notify_all();
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
