#include "blend/shared_threads.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace kelm {

namespace {

// The deciders at work: each slot a decider and the thread deciding its vector, if any; the
// verdicts come back through one queue, in whatever order they are reached.
class DeciderSlots {
 public:
  DeciderSlots(const BlendedStructure& structure, int workers, const StopRequest* stop) : stop_(stop) {
    for (int i = 0; i < workers; ++i) slots_.push_back(Slot{std::make_unique<VectorDecider>(structure), {}, false});
  }
  ~DeciderSlots() {
    for (Slot& slot : slots_)
      if (slot.thread.joinable()) slot.thread.join();
  }

  bool anyIdle() const { return busy_ < static_cast<int>(slots_.size()); }
  bool anyBusy() const { return busy_ > 0; }

  void start(const std::vector<int>& plies) {
    std::size_t i = 0;
    while (slots_[i].busy) ++i;
    Slot& slot = slots_[i];
    if (slot.thread.joinable()) slot.thread.join();
    slot.busy = true;
    ++busy_;
    slot.thread = std::thread([this, i, plies, decider = slot.decider.get()] {
      VectorVerdict verdict = decider->decide(plies, stop_);
      const std::lock_guard<std::mutex> lock(mutex_);
      done_.push_back({i, plies, std::move(verdict)});
      arrived_.notify_one();
    });
  }

  struct Done {
    std::size_t slot;
    std::vector<int> plies;
    VectorVerdict verdict;
  };
  // The verdicts come back since the last call, waiting for one.
  std::deque<Done> collect() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return !done_.empty(); });
    std::deque<Done> done;
    done.swap(done_);
    lock.unlock();
    for (const Done& d : done) {
      slots_[d.slot].busy = false;
      --busy_;
    }
    return done;
  }

 private:
  struct Slot {
    std::unique_ptr<VectorDecider> decider;
    std::thread thread;
    bool busy;
  };
  const StopRequest* stop_;
  std::vector<Slot> slots_;
  int busy_ = 0;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Done> done_;
};

}  // namespace

LightestBlend findLightestBlendShared(const BlendedStructure& structure, int workers, const StopRequest* stop,
                                      const VectorProgress& progress, const std::vector<int>& start, bool weightOnly) {
  SharedBlendRun run(structure, stop, start, weightOnly);
  if (run.prepare()) {
    DeciderSlots slots(structure, workers, stop);
    for (bool more = true;;) {
      while (more && slots.anyIdle()) {
        const auto next = run.handOut();
        more = next.has_value();
        if (!more) break;
        if (progress) progress(next->first, next->second);
        slots.start(next->first);
      }
      if (!slots.anyBusy()) break;
      for (const auto& done : slots.collect()) run.settle(done.plies, done.verdict);
    }
  }
  LightestBlend result = run.conclude();
  result.workers = workers;
  return result;
}

}  // namespace kelm
