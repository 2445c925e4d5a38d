#pragma once

#include <atomic>

namespace kelm {

// Why a search was asked to stop before it finished: an interrupt (Ctrl-C), a termination
// request, or the run's time limit. Set from a signal handler or a watchdog thread, read by the
// searches once per step; nothing else happens where it is set.
enum class StopReason : int { None = 0, Interrupt, Terminate, TimeLimit };

namespace stop_request_detail {
// Lock-free, so that a signal handler may set it.
inline std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free);
}  // namespace stop_request_detail

// Async-signal-safe; the first reason given stays.
inline void requestStop(StopReason reason) {
  int none = 0;
  stop_request_detail::requested.compare_exchange_strong(none, static_cast<int>(reason),
                                                         std::memory_order_relaxed);
}

inline StopReason stopReason() {
  return static_cast<StopReason>(
      stop_request_detail::requested.load(std::memory_order_relaxed));
}

inline bool stopRequested() { return stopReason() != StopReason::None; }

inline void clearStopRequest() {
  stop_request_detail::requested.store(0, std::memory_order_relaxed);
}

}  // namespace kelm
