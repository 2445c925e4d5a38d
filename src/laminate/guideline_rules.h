#pragma once

#include <optional>

#include "laminate/laminate_rules.h"
#include "laminate/ply_runs.h"
#include "laminate/stacking_sequence.h"

namespace kelm {

// The design guidelines of laminate practice, each switched on in LaminateRules: a minimum
// share of each orientation, a limit on equal 0 or 90 deg positions in a row, no 0 deg
// position next to a 90 deg one, and a +-45 deg outermost position.

// After a position is set: whether the sequence can still meet every guideline switched on.
// Each guideline alone is decided exactly (the sequence passes when some completion does).
bool guidelinesPartial(const StackingSequence& sequence, const LaminateRules& rules);

// Every guideline switched on, for a sequence whose positions are all set.
bool guidelinesComplete(const StackingSequence& sequence, const LaminateRules& rules);

// Plies of each orientation (0, +-45, 90) in the whole symmetric laminate: twice each position
// of the half, once the mid-plane ply of an odd total. Only the set positions count.
struct OrientationPlies {
  int count[3] = {0, 0, 0};
};
OrientationPlies orientationPlies(const StackingSequence& sequence);
// Plies each orientation needs in the whole laminate for a minimum share of `percent`.
int pliesNeeded(const StackingSequence& sequence, double percent);

// Where a set laminate breaks a guideline, for a report: the orientation below its share, the
// first position whose neighbour inside jumps between 0 and 90 deg.
std::optional<int> orientationBelowShare(const StackingSequence& sequence, double percent);
std::optional<int> crossPlyJumpAt(const StackingSequence& sequence);

}  // namespace kelm
