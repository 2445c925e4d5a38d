#pragma once

#include "response/response_surface.h"
#include "search/active_design.h"
#include "search/candidate_max.h"
#include "search/open_shares.h"
#include "search/surface_blocks.h"

namespace kelm {

// Upper bound of a design whose two laminates both still have open positions: the objective at
// the current parameters, plus for each of the four parameter groups the exact maximum of its
// own increment over the triangle, plus a bound of each of the six couplings between groups.
class JointBoundModel {
 public:
  void setJointBoundModel(const ResponseSurface& model);
  // Prepares what the laminate not being extended contributes, for all children of `parent`.
  void setJointBoundTerms(const ActiveDesign& parent);
  // Bound of a child of the design last given to setJointBoundTerms.
  double evaluateJointBound(const ActiveDesign& child);

  const double* couplingBounds() const { return couplingBounds_; }
  // Each group's maximum with the edge points found along the edges (a bound that holds to the
  // last bit), instead of the specified inside test that can leave one out.
  void takeEdgesAlongTheEdges() { edgesAlongTheEdges_ = true; }

 private:
  void setGradients(const ActiveDesign& child);
  double currentValue(const ActiveDesign& child) const;
  double couplingTerm() const;

  SurfaceBlocks blocks_;
  // Prepared per parent: each group's linear term with the fixed laminate folded in, and what
  // the fixed laminate contributes on its own.
  double groupTerms_[kGroups][2] = {};
  double fixedPart_ = 0.0;
  // Scratch of the bound in progress: each group's gradient at the child and its open share
  // (s in-plane, s^3 bending).
  double groupGradients_[kGroups][2] = {};
  double groupScales_[kGroups] = {};
  // The six couplings between groups, in the order their constants enter the bound: skin
  // in-plane/bending, stiffener in-plane/bending, then skin with stiffener.
  static constexpr int kCouplings = 6;
  static constexpr int kCouplingBlocks[kCouplings][2] = {{0, 1}, {2, 3}, {0, 2},
                                                         {1, 3}, {0, 3}, {1, 2}};
  double couplingBounds_[kCouplings] = {};
  CandidateSystems candidates_;
  bool edgesAlongTheEdges_ = false;
  OpenShares skinShares_;
  OpenShares stiffenerShares_;
};

}  // namespace kelm
