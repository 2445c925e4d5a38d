#include "cli/live_progress.h"

#include <cstdio>
#include <sstream>
#include <string>

#ifdef __linux__
#include <unistd.h>
#endif

namespace kelm {

namespace {

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

// steps, their rate, records held, memory, best value so far, elapsed time
std::string searchLine(const SearchProgress& progress, double seconds) {
  const long long steps = progress.steps.load(std::memory_order_relaxed);
  std::ostringstream line;
  line.precision(10);
  line << withThousands(steps) << " steps  " << rateText(seconds > 0 ? steps / seconds : 0.0)
       << "  held " << withThousands(progress.held.load(std::memory_order_relaxed));
  const double megabytes = residentMegabytes();
  if (megabytes >= 0) line << "  " << static_cast<long long>(megabytes) << " MB";
  line << "  best " << progress.best.load(std::memory_order_relaxed) << "  "
       << elapsedText(seconds);
  return line.str();
}

}  // namespace

LiveProgress::LiveProgress(const SearchProgress& progress, bool enabled)
    : line_([&progress](double seconds) { return searchLine(progress, seconds); },
            std::chrono::milliseconds(100), enabled) {}

}  // namespace kelm
