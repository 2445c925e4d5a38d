#pragma once

#include "iter/turn_terms.h"
#include "response/response_surface.h"
#include "search/active_design.h"
#include "search/candidate_max.h"
#include "search/surface_blocks.h"

namespace kelm {

// Upper bound of the iterative method: for a design whose active laminate is partly set, no
// completion of its open positions (the fixed laminate unchanged) can exceed the bound.
class BoundModel {
 public:
  // Copies the coefficients, prepares the candidate systems and both coupling constants.
  void setBoundModel(const ResponseSurface& model);
  void setLUdecomp();
  // Folds the fixed laminate of the turn into the model.
  void setBoundTerms(const ActiveDesign& candidate);

  const CandidateSystems& candidates() const { return candidates_; }
  double skinCouplingBound() const { return skinCouplingBound_; }
  double stiffenerCouplingBound() const { return stiffenerCouplingBound_; }

 private:
  friend double EvaluateBranch_iter(const ActiveDesign& design, BoundModel& model);

  SurfaceBlocks blocks_;
  TurnTerms terms_;
  Vector inPlaneGradient;
  Vector bendingGradient;
  double inPlaneScale = 0.0;
  double bendingScale = 0.0;
  double skinCouplingBound_ = 0.0;
  double stiffenerCouplingBound_ = 0.0;
  CandidateSystems candidates_;
};

double EvaluateBranch_iter(const ActiveDesign& design, BoundModel& model);

}  // namespace kelm
