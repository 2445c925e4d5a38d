#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "base/stop_request.h"

namespace kelm {

// While it lives, SIGINT and SIGTERM ask the program's search to stop (the handlers only set
// its stop request), and with a time limit a watchdog thread asks it to stop when the time is
// up. The previous signal handling comes back when it ends.
class StopSignals {
 public:
  StopSignals(StopRequest& request, std::optional<double> timeLimitSeconds);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void watch(double seconds);

  StopRequest& request_;
  void (*previousInterrupt_)(int) = nullptr;
  void (*previousTerminate_)(int) = nullptr;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  std::thread watchdog_;
};

// The exit status of a run stopped for `reason`: 130 for an interrupt, 143 for a termination
// request, 124 for the time limit (as the shell and timeout(1) report them); 0 for none.
int stopExitStatus(StopReason reason);

}  // namespace kelm
