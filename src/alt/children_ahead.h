#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace kelm {

// A first-phase design that was no child of the batch before (whose children nobody evaluated
// ahead).
constexpr std::size_t kNoChildPlace = static_cast<std::size_t>(-1);

// The children of a first-phase batch's open children, evaluated ahead by threads that would
// otherwise wait for the batch's last child (a narrow tree's batch holds a few children of very
// unequal cost). The next batch takes such an evaluation as its own when it holds the parent
// and begins from the best value the evaluation began from: a child's evaluation depends on
// nothing else, so the steps and designs stay those of one thread. Evaluations the next batch
// does not take are dropped. Two generations are kept: the batch in progress offers its open
// children's children, and the batch before it hands those evaluated ahead over.
//
// `Result` is one child's evaluation (from `parent`, the code of its next position and the best
// value `floor`).
template <typename Record, typename Result>
class ChildrenAhead {
 public:
  struct Unit {
    Record parent;
    int code = 0;
    double floor = 0.0;
    Result out;
  };
  using Evaluate = std::function<void(int thread, Unit& unit)>;

  // `codes` children a design, at most `places` designs a batch; `evaluate` fills a unit's
  // result on a thread, `wake` tells the crew's idle threads that units are offered.
  ChildrenAhead(int codes, std::size_t places, Evaluate evaluate, std::function<void()> wake)
      : codes_(codes), evaluate_(std::move(evaluate)), wake_(std::move(wake)) {
    for (Generation& generation : generations_) {
      generation.units.resize(places * codes * codes);
      generation.states.assign(generation.units.size(), kEmpty);
      generation.waiting.assign(generation.units.size(), kNoChildPlace);
      generation.offered.reserve(generation.units.size());
    }
  }
  ChildrenAhead(const ChildrenAhead&) = delete;
  ChildrenAhead& operator=(const ChildrenAhead&) = delete;
  // No thread is inside an evaluation once it is gone.
  ~ChildrenAhead() { close(); }

  // Batch `batch` (counted from 1) begins from `floor`; `origins[i]` is the place among the
  // last batch's children that its design i was, or kNoChildPlace. Each of its children
  // evaluated ahead from the same floor is handed to `take(place, result, pending)`: `pending`
  // while a thread still evaluates it (awaitPending() waits for those). Called by the first
  // thread only, between batches.
  template <typename Take>
  void beginBatch(long long batch, double floor, const std::vector<std::size_t>& origins,
                  const Take& take) {
    std::unique_lock<std::mutex> lock(mutex_);
    Generation& current = generations_[batch % 2];
    // A dropped evaluation of two batches ago may still run on another thread.
    changed_.wait(lock, [&] { return current.inFlight == 0; });
    const std::size_t units = origins.size() * codes_ * codes_;
    current.batch = batch;
    current.floor = floor;
    std::fill_n(current.states.begin(), units, kEmpty);
    std::fill_n(current.waiting.begin(), units, kNoChildPlace);
    current.offered.clear();
    current.nextOffered = 0;
    current_ = batch;
    Generation& last = generations_[(batch + 1) % 2];
    if (last.batch != batch - 1 || !(last.floor == floor)) return dropOffers(last);
    for (std::size_t design = 0; design < origins.size(); ++design) {
      if (origins[design] == kNoChildPlace) continue;
      for (int code = 0; code < codes_; ++code) {
        const std::size_t unit = origins[design] * codes_ + code;
        const std::size_t place = design * codes_ + code;
        if (last.states[unit] == kDone) {
          take(place, last.units[unit].out, false);
        } else if (last.states[unit] == kTaken) {
          last.waiting[unit] = place;
          ++pending_;
          take(place, last.units[unit].out, true);
        }
      }
    }
    dropOffers(last);
  }

  // Place `place` of batch `batch` is an open child (`child`): its children may be evaluated
  // ahead. Any thread.
  void offer(long long batch, std::size_t place, const Record& child) noexcept {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!offerLocked(batch, place, child)) return;
    }
    changed_.notify_all();
    wake_();
  }

  // One unit evaluated ahead on `thread`; false when none is offered. Any thread.
  bool workAhead(int thread) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_ || current_ < 1) return false;
    Generation& generation = generations_[current_ % 2];
    while (generation.nextOffered < generation.offered.size() &&
           generation.states[generation.offered[generation.nextOffered]] != kFree)
      ++generation.nextOffered;
    if (generation.nextOffered == generation.offered.size()) return false;
    const std::size_t unit = generation.offered[generation.nextOffered++];
    generation.states[unit] = kTaken;
    ++generation.inFlight;
    lock.unlock();
    evaluate_(thread, generation.units[unit]);
    lock.lock();
    generation.states[unit] = kDone;
    --generation.inFlight;
    bool offered = false;
    if (generation.waiting[unit] != kNoChildPlace) {
      // Taken by the next batch while it ran: its children are that batch's to offer.
      --pending_;
      const Result& out = generation.units[unit].out;
      if (out.open) offered = offerLocked(generation.batch + 1, generation.waiting[unit], out.child);
    }
    lock.unlock();
    changed_.notify_all();
    if (offered) wake_();
    return true;
  }

  // Until every evaluation the batch took while it ran is done, the first thread evaluates
  // children ahead itself or waits.
  void awaitPending(int thread) {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (pending_ == 0) return;
      const long long offers = offers_;
      lock.unlock();
      if (workAhead(thread)) continue;
      lock.lock();
      changed_.wait(lock, [&] { return pending_ == 0 || offers_ != offers; });
    }
  }

  // No unit is handed out any more; returns once none is evaluated.
  void close() {
    std::unique_lock<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.wait(lock, [&] {
      return generations_[0].inFlight == 0 && generations_[1].inFlight == 0;
    });
  }

 private:
  enum State : char { kEmpty, kFree, kTaken, kDone };
  struct Generation {
    long long batch = -1;
    double floor = 0.0;
    std::vector<Unit> units;  // design place * codes + code
    std::vector<char> states;
    std::vector<std::size_t> waiting;  // the next batch's place that took the unit while it ran
    std::vector<std::size_t> offered;  // units offered, in the order offered
    std::size_t nextOffered = 0;
    int inFlight = 0;
  };

  // Called where nothing may throw (a crew's thread): a child whose copy fails (out of
  // memory) is not offered, and its batch evaluates it itself.
  bool offerLocked(long long batch, std::size_t place, const Record& child) noexcept {
    if (closed_ || batch != current_) return false;
    Generation& generation = generations_[batch % 2];
    for (int code = 0; code < codes_; ++code) {
      const std::size_t unit = place * codes_ + code;
      try {
        generation.units[unit].parent = child;
      } catch (...) {
        break;
      }
      generation.units[unit].code = code;
      generation.units[unit].floor = generation.floor;
      generation.states[unit] = kFree;
      generation.offered.push_back(unit);
    }
    ++offers_;
    return true;
  }

  // What the last batch offered and no thread took is not taken any more.
  static void dropOffers(Generation& generation) {
    for (std::size_t unit : generation.offered)
      if (generation.states[unit] == kFree) generation.states[unit] = kEmpty;
    generation.nextOffered = generation.offered.size();
  }

  const int codes_;
  Evaluate evaluate_;
  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Generation generations_[2];
  long long current_ = 0;  // the batch in progress
  long long offers_ = 0;
  int pending_ = 0;
  bool closed_ = false;
};

}  // namespace kelm
