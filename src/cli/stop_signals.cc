#include "cli/stop_signals.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>

namespace kelm {

namespace {

// The search the signals stop; a program runs one at a time.
std::atomic<StopRequest*> signalled{nullptr};
static_assert(std::atomic<StopRequest*>::is_always_lock_free);

void requestFromSignal(StopReason reason) {
  StopRequest* const request = signalled.load(std::memory_order_relaxed);
  if (request != nullptr) request->request(reason);
}

extern "C" void onInterrupt(int) { requestFromSignal(StopReason::Interrupt); }
extern "C" void onTerminate(int) { requestFromSignal(StopReason::Terminate); }

}  // namespace

StopSignals::StopSignals(StopRequest& request, std::optional<double> timeLimitSeconds)
    : request_(request) {
  request_.clear();
  signalled.store(&request_, std::memory_order_relaxed);
  previousInterrupt_ = std::signal(SIGINT, onInterrupt);
  previousTerminate_ = std::signal(SIGTERM, onTerminate);
  if (timeLimitSeconds) watchdog_ = std::thread([this, s = *timeLimitSeconds] { watch(s); });
}

StopSignals::~StopSignals() {
  if (watchdog_.joinable()) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    finished_.notify_all();
    watchdog_.join();
  }
  std::signal(SIGINT, previousInterrupt_ == SIG_ERR ? SIG_DFL : previousInterrupt_);
  std::signal(SIGTERM, previousTerminate_ == SIG_ERR ? SIG_DFL : previousTerminate_);
  signalled.store(nullptr, std::memory_order_relaxed);
}

// Limits beyond thirty years wait thirty years: the clock's own range is then far away.
void StopSignals::watch(double seconds) {
  const auto wait = std::chrono::duration<double>(std::min(seconds, 1e9));
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::milliseconds>(wait);
  std::unique_lock<std::mutex> lock(mutex_);
  if (!finished_.wait_until(lock, deadline, [this] { return done_; }))
    request_.request(StopReason::TimeLimit);
}

int stopExitStatus(StopReason reason) {
  switch (reason) {
    case StopReason::Interrupt: return 130;
    case StopReason::Terminate: return 143;
    case StopReason::TimeLimit: return 124;
    case StopReason::MemoryLimit: return 1;
    case StopReason::StepLimit: return 1;
    case StopReason::None: return 0;
  }
  return 0;
}

}  // namespace kelm
