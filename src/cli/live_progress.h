#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "search/search_progress.h"

namespace kelm {

// One line on the terminal, redrawn at most ten times a second while a search runs: steps,
// steps per second, open designs or branches held, memory in use, best value so far, elapsed
// time. It takes the place of the plain step counter, is cleared before any other output (so
// messages start on a fresh line) and when the search ends. Drawn only when standard error is
// a terminal; otherwise nothing of it exists.
class LiveProgress {
 public:
  LiveProgress(const SearchProgress& progress, bool enabled);
  ~LiveProgress();
  LiveProgress(const LiveProgress&) = delete;
  LiveProgress& operator=(const LiveProgress&) = delete;

  // Stops redrawing and clears the line.
  void stop();

  static bool standardErrorIsTerminal();

 private:
  void loop();
  void draw();
  void clear();
  static void clearCurrent();  // the hook every other output calls first

  const SearchProgress& progress_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool drawn_ = false;
  long long outputsSeen_ = 0;  // other output since the last tick: skip a tick
  std::thread thread_;
};

}  // namespace kelm
