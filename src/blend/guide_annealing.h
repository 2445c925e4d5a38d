#pragma once

#include <cstdint>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// What a look for a first design by annealing ended with. It proves nothing when it finds
// none: only the exact search can say a count vector holds no design.
struct AnnealingOutcome {
  bool found = false;
  BlendedDesign design;  // checked against every rule and requirement
  double margin = 0.0;   // its smallest margin
  std::int64_t evaluations = 0;
};

// What the annealing looks for: any design (it ends at the first), or the design of the
// largest smallest margin it meets within its guides.
enum class AnnealingGoal { FirstDesign, LargestMargin };

// Looks for one blended design of the count vector in the table form by simulated annealing
// over guides: every guide it tries holds the right number of positions of each level and
// keeps the covered positions; what it minimises is how far the panels' laminates are from
// their rules and requirements and the neighbours from the drop limit. Where the exact search,
// outer to inner, can spend its positions deep under one early choice, annealing changes any
// position at any time, which finds designs of vectors with room quickly. Deterministic for a
// seed; ends after `evaluations` guides, at the first design, or on a stop. `near`, a table
// design of another count vector, is where it starts: a design a few plies away from another
// is usually a few changes away from it.
AnnealingOutcome annealGuide(const BlendedStructure& structure, const std::vector<int>& plies,
                             std::int64_t evaluations, std::uint64_t seed, const StopRequest* stop = nullptr,
                             const BlendedDesign* near = nullptr, AnnealingGoal goal = AnnealingGoal::FirstDesign);

}  // namespace kelm
