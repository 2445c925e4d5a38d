#include "cli/live_progress.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "base/fatal.h"
#include "search/progress_line.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kelm {

namespace {

LiveProgress* current = nullptr;       // the one live line of the process
std::atomic<long long> otherOutputs{0};  // outputs written while it was shown

std::string withThousands(long long n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const std::size_t left = digits.size() - i;
    if (i > 0 && digits[i - 1] != '-' && left % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string rateText(double perSecond) {
  std::ostringstream text;
  text.precision(3);
  if (perSecond >= 1e6)
    text << perSecond / 1e6 << " M/s";
  else if (perSecond >= 1e3)
    text << perSecond / 1e3 << " k/s";
  else
    text << static_cast<long long>(perSecond) << " /s";
  return text.str();
}

std::string elapsedText(double seconds) {
  const long long s = static_cast<long long>(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

// Resident memory in megabytes where the system tells it cheaply, else negative.
double residentMegabytes() {
#ifdef __linux__
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return -1.0;
  long long size = 0, resident = 0;
  const int read = std::fscanf(statm, "%lld %lld", &size, &resident);
  std::fclose(statm);
  if (read != 2) return -1.0;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
#else
  return -1.0;
#endif
}

void stopAtExit() {
  if (current != nullptr) current->stop();
}

}  // namespace

bool LiveProgress::standardErrorIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

LiveProgress::LiveProgress(const SearchProgress& progress, bool enabled) : progress_(progress) {
  if (!enabled) return;
  static const bool registered = std::atexit(stopAtExit) == 0;  // a fatal exit mid-search
  (void)registered;
  current = this;
  setBeforeOutputHook(&LiveProgress::clearCurrent);
  thread_ = std::thread([this] { loop(); });
}

LiveProgress::~LiveProgress() { stop(); }

void LiveProgress::stop() {
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

// A tick in which other output was written draws nothing, so that the line never lands in the
// middle of it.
void LiveProgress::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_; })) {
    const long long outputs = otherOutputs.load();
    if (outputs != outputsSeen_) {
      outputsSeen_ = outputs;
      continue;
    }
    draw();
  }
}

void LiveProgress::draw() {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const long long steps = progress_.steps.load(std::memory_order_relaxed);
  std::ostringstream line;
  line.precision(10);
  line << withThousands(steps) << " steps  " << rateText(seconds > 0 ? steps / seconds : 0.0)
       << "  held " << withThousands(progress_.held.load(std::memory_order_relaxed));
  const double megabytes = residentMegabytes();
  if (megabytes >= 0) line << "  " << static_cast<long long>(megabytes) << " MB";
  line << "  best " << progress_.best.load(std::memory_order_relaxed) << "  "
       << elapsedText(seconds);
  std::cerr << '\r' << line.str() << "\x1b[K" << std::flush;
  drawn_ = true;
}

void LiveProgress::clear() {
  if (!drawn_) return;
  std::cerr << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

void LiveProgress::clearCurrent() {
  if (current == nullptr) return;
  const std::lock_guard<std::mutex> lock(current->mutex_);
  ++otherOutputs;
  current->clear();
}

}  // namespace kelm
