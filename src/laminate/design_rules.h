#pragma once

#include <optional>

#include "laminate/ply_runs.h"
#include "laminate/stacking_sequence.h"
#include "laminate/laminate_rules.h"

namespace kelm {

inline constexpr int kFourPlyLimit = 4;

// Rules a newly set position can break, checked right after setting it so that a branch that
// already breaks a rule is cut at once.
bool checkPartial(const StackingSequence& sequence, const LaminateRules& rules);

// All rules for a sequence whose positions are all set.
bool checkComplete(const StackingSequence& sequence, const LaminateRules& rules);

// The outermost run of equal 0 or 90 deg positions that breaks the 4-ply rule in a set half
// laminate: more than four, or more than two for the innermost run, which meets its mirror
// image at the mid-plane. Runs of +-45 deg are free (their signs alternate). None when the rule
// holds; the searches judge only laminates of more than two positions.
std::optional<PlyRun> fourPlyBreak(const StackingSequence& sequence);

}  // namespace kelm
