#pragma once

#include <atomic>

namespace kelm {

// Why a search was asked to stop before it finished: an interrupt (Ctrl-C), a termination
// request, the run's time limit, tied designs that filled the search's memory budget, or the
// steps the caller allowed (a limit by the search's own work: the same on every machine).
enum class StopReason : int { None = 0, Interrupt, Terminate, TimeLimit, MemoryLimit, StepLimit };

// One search's request to stop, set from a signal handler, a watchdog thread or the caller's
// thread, and read by the search once per step; nothing else happens where it is set. Each
// search has its own, so that stopping one leaves the others running.
class StopRequest {
 public:
  // Async-signal-safe; the first reason given stays.
  void request(StopReason reason) {
    int none = 0;
    reason_.compare_exchange_strong(none, static_cast<int>(reason), std::memory_order_relaxed);
  }
  StopReason reason() const { return static_cast<StopReason>(reason_.load(std::memory_order_relaxed)); }
  bool requested() const { return reason() != StopReason::None; }
  void clear() { reason_.store(0, std::memory_order_relaxed); }

 private:
  // Lock-free, so that a signal handler may set it.
  std::atomic<int> reason_{0};
  static_assert(std::atomic<int>::is_always_lock_free);
};

}  // namespace kelm
