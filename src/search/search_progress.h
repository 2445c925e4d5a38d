#pragma once

#include <atomic>

namespace kelm {

// What a running search tells a watcher on another thread (the live line on a terminal): step
// count, open designs or branches held, best value so far. The search stores with relaxed
// order once per expansion; the watcher reads whenever it likes.
struct SearchProgress {
  std::atomic<long long> steps{0};
  std::atomic<long long> held{0};
  std::atomic<double> best{0.0};
  std::atomic<long long> peakHeld{0};  // the most held at once
  // Whether the search writes its step counter to standard error; set before the run.
  bool stepCounterShown = true;

  void publish(long long stepCount, long long heldCount, double bestValue) {
    steps.store(stepCount, std::memory_order_relaxed);
    held.store(heldCount, std::memory_order_relaxed);
    best.store(bestValue, std::memory_order_relaxed);
    if (heldCount > peakHeld.load(std::memory_order_relaxed))
      peakHeld.store(heldCount, std::memory_order_relaxed);
  }
};

}  // namespace kelm
