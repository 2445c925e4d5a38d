#pragma once

#include "laminate/panel_design.h"
#include "response/response_surface.h"
#include "search/surface_blocks.h"

namespace kelm {

// The objective of the iterative method: the response surface with the fixed laminate of the
// turn in progress folded into two linear terms and a constant.
class ObjectiveModel {
 public:
  void setObjectiveModel(const ResponseSurface& model);
  void setObjectiveTerms(const PanelDesign& design);
  // The objective of a complete design whose fixed laminate is the one the terms were set for.
  double objectivefunc(const PanelDesign& design) const;

  const TurnTerms& terms() const { return terms_; }

 private:
  SurfaceBlocks blocks_;
  TurnTerms terms_;
};

}  // namespace kelm
