#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kelm {

// The one live line a program keeps on the terminal while it works: its text, asked of `text`
// with the seconds since the line began, is redrawn in place every `interval`. Any other output
// clears it first (so messages start on a fresh line), a tick in which other output was
// written draws nothing (so the line never lands in the middle of it), and it is cleared when
// the work ends or the process exits. Drawn only when enabled (standard error a terminal);
// otherwise nothing of it exists.
class TerminalLine {
 public:
  using Text = std::function<std::string(double seconds)>;

  TerminalLine(Text text, std::chrono::milliseconds interval, bool enabled);
  ~TerminalLine();
  TerminalLine(const TerminalLine&) = delete;
  TerminalLine& operator=(const TerminalLine&) = delete;

  // Stops redrawing and clears the line.
  void stop();

  static bool standardErrorIsTerminal();

 private:
  void loop();
  void draw();
  void clear();
  static void clearCurrent();  // the hook every other output calls first

  const Text text_;
  const std::chrono::milliseconds interval_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool drawn_ = false;
  long long outputsSeen_ = 0;  // other output since the last tick: skip a tick
  std::thread thread_;
};

}  // namespace kelm
