#pragma once

#include "iter/turn_terms.h"
#include "response/response_surface.h"
#include "search/active_design.h"
#include "search/surface_blocks.h"

namespace kelm {

// The objective of the iterative method: the response surface with the fixed laminate of the
// turn in progress folded into two linear terms and a constant.
class ObjectiveModel {
 public:
  void setObjectiveModel(const ResponseSurface& model);
  void setObjectiveTerms(const ActiveDesign& candidate);
  // The objective of a complete design whose fixed laminate is the one the terms were set for.
  double objectivefunc(const ActiveDesign& candidate) const;

 private:
  SurfaceBlocks blocks_;
  TurnTerms terms_;
};

}  // namespace kelm
