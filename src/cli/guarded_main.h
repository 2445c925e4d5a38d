#pragma once

#include <new>

#include "base/fatal.h"
#include "cli/console_mode.h"

namespace kelm {

// Runs an entry's body and returns its exit status; running out of storage anywhere ends the
// process with status 1 and says so (a search says more: see runSearchProgram).
template <typename Body>
int guardedMain(Body body) {
  useLineFeedLineEnds();
  try {
    return body();
  } catch (const std::bad_alloc&) {
    fatal(Stream::Err, "error: memory ran out", true);
  }
}

}  // namespace kelm
