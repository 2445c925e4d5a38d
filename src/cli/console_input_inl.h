#pragma once

#include <new>

#include "base/fatal.h"

namespace kelm {

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
