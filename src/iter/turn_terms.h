#pragma once

#include "numerics/vector.h"
#include "search/active_design.h"
#include "search/surface_blocks.h"

namespace kelm {

// What the fixed laminate contributes while the other one is searched: the linear
// coefficients of the active laminate's in-plane and bending parameters (coupling included)
// and everything that depends on the fixed laminate alone, constant included.
struct TurnTerms {
  Vector inPlaneTerm;
  Vector bendingTerm;
  double fixedPart = 0.0;
  bool skinActive = false;
};

TurnTerms computeTurnTerms(const SurfaceBlocks& blocks, const ActiveDesign& design);

}  // namespace kelm
