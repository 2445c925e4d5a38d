#include "cli/terminal_line.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "base/fatal.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kelm {

namespace {

TerminalLine* current = nullptr;         // the one live line of the process
std::atomic<long long> otherOutputs{0};  // outputs written while it was shown

void stopAtExit() {
  if (current != nullptr) current->stop();
}

}  // namespace

bool TerminalLine::standardErrorIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

TerminalLine::TerminalLine(Text text, std::chrono::milliseconds interval, bool enabled)
    : text_(std::move(text)), interval_(interval) {
  if (!enabled) return;
  static const bool registered = std::atexit(stopAtExit) == 0;  // a fatal exit mid-work
  (void)registered;
  current = this;
  setBeforeOutputHook(&TerminalLine::clearCurrent);
  thread_ = std::thread([this] { loop(); });
}

TerminalLine::~TerminalLine() { stop(); }

void TerminalLine::stop() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    clear();
  }
  setBeforeOutputHook(nullptr);
  current = nullptr;
}

void TerminalLine::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
    const long long outputs = otherOutputs.load();
    if (outputs != outputsSeen_) {
      outputsSeen_ = outputs;
      continue;
    }
    draw();
  }
}

void TerminalLine::draw() {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::cerr << '\r' << text_(seconds) << "\x1b[K" << std::flush;
  drawn_ = true;
}

void TerminalLine::clear() {
  if (!drawn_) return;
  std::cerr << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

void TerminalLine::clearCurrent() {
  if (current == nullptr) return;
  const std::lock_guard<std::mutex> lock(current->mutex_);
  ++otherOutputs;
  current->clear();
}

}  // namespace kelm
