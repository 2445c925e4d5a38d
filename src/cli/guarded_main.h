#pragma once

#include <new>
#include <string_view>

#include "base/fatal.h"
#include "cli/console_mode.h"

namespace kelm {

// Writes a failure's message as the programs do (on a fresh line, flushed, standard output
// flushed too), hands it to the record hook and gives the exit status 1.
int reportFailure(const Failure& failure);

// A program that records its outcome (a JSON result file) sets a hook that receives the
// message of a failure once it has been written.
using FailureRecordHook = void (*)(std::string_view message);
void setFailureRecordHook(FailureRecordHook hook);

// Runs an entry's body and returns its exit status; a failure anywhere ends it with the
// failure's message and status 1, and running out of storage says so (a search says more: see
// runSearchProgram).
template <typename Body>
int guardedMain(Body body) {
  useLineFeedLineEnds();
  try {
    return body();
  } catch (const Failure& failure) {
    return reportFailure(failure);
  } catch (const std::bad_alloc&) {
    return reportFailure(
        Failure(Stream::Err, "error: memory ran out", true, FailureKind::Memory));
  }
}

}  // namespace kelm
