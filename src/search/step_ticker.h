#pragma once

#include <atomic>
#include <mutex>

#include "search/progress_line.h"
#include "search/search_constants.h"

namespace kelm {

// The steps of a search whose tree is shared out among threads: every thread adds its steps
// here, and the step counter on standard error shows each multiple of the interval once and in
// order, so that it reads the same however the threads interleave.
class StepTicker {
 public:
  // Counting on from `steps` already shown; `counterShown`: whether the counter is written.
  StepTicker(long long steps, bool counterShown)
      : steps_(steps), shown_(steps / kTreeProgressInterval), counterShown_(counterShown) {}

  void add(long long steps) {
    const long long now = steps_.fetch_add(steps, std::memory_order_relaxed) + steps;
    if (now / kTreeProgressInterval == shown_.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    const long long due = steps_.load(std::memory_order_relaxed) / kTreeProgressInterval;
    for (long long k = shown_.load(std::memory_order_relaxed) + 1; k <= due; ++k)
      showProgress(counterShown_, k * kTreeProgressInterval);
    if (due > shown_.load(std::memory_order_relaxed)) shown_.store(due, std::memory_order_relaxed);
  }
  long long steps() const { return steps_.load(std::memory_order_relaxed); }

 private:
  std::atomic<long long> steps_{0};
  std::atomic<long long> shown_{0};  // multiples of the interval shown so far
  std::mutex mutex_;
  const bool counterShown_;
};

}  // namespace kelm
