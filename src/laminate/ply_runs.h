#pragma once

#include <optional>

#include "laminate/stacking_sequence.h"

namespace kelm {

// Positions first..last of a half laminate, outer to inner.
struct PlyRun {
  int first = 0;
  int last = 0;
};

// Runs of equal 0 or 90 deg positions in the designed half, as the run rules count them: +-45
// deg positions never form a run (their signs alternate), and the innermost run meets its
// mirror image at the mid-plane, so it may hold at most half the limit (rounded down).

// Whether the run that ends at the newest set position keeps `limit`: judged once that run
// could exceed it (from position limit + 1 on) and, for the innermost run, when the last
// position is set; halves of one or two positions are never judged.
bool runLimitPartial(const StackingSequence& sequence, int limit);

// The outermost run that breaks `limit` in a set half laminate, or none.
std::optional<PlyRun> runLimitBreak(const StackingSequence& sequence, int limit);

}  // namespace kelm
