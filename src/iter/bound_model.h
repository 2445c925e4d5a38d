#pragma once

#include "iter/turn_terms.h"
#include "response/response_surface.h"
#include "search/active_design.h"
#include "search/candidate_max.h"
#include "search/open_shares.h"
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
  TurnTerms terms_;  // the fixed laminate of the turn, folded in
  // Scratch of the bound in progress, kept between calls so that no call allocates.
  double inPlaneGradient[2] = {};  // gradient of the active in-plane group at the branch
  double bendingGradient[2] = {};  // gradient of the active bending group at the branch
  double inPlaneScale = 0.0;  // open share s of the half thickness
  double bendingScale = 0.0;  // s^3, the open share of the bending stiffness
  OpenShares shares_;         // s and s^3 by positions set, per laminate size
  double skinCouplingBound_ = 0.0;       // largest in-plane/bending coupling of the skin
  double stiffenerCouplingBound_ = 0.0;  // the same for the stiffener
  CandidateSystems candidates_;
};

double EvaluateBranch_iter(const ActiveDesign& design, BoundModel& model);

}  // namespace kelm
