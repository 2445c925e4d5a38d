#pragma once

#include <new>

#include "base/fatal.h"

namespace kelm {

// Runs an entry's body; running out of storage anywhere ends the process with status 1.
template <typename Body>
int guardedMain(Body body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    fatal(Stream::Err, "", false);
  }
  return 0;
}

}  // namespace kelm
