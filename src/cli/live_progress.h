#pragma once

#include "cli/terminal_line.h"
#include "search/search_progress.h"

namespace kelm {

// A search's live line, redrawn at most ten times a second: steps, steps per second, open
// designs or branches held, memory in use, best value so far, elapsed time. It takes the place
// of the plain step counter and behaves as every terminal line does (cleared before other
// output and at the end; only on a terminal).
class LiveProgress {
 public:
  LiveProgress(const SearchProgress& progress, bool enabled);

  // Stops redrawing and clears the line.
  void stop() { line_.stop(); }

  static bool standardErrorIsTerminal() { return TerminalLine::standardErrorIsTerminal(); }

 private:
  TerminalLine line_;
};

}  // namespace kelm
