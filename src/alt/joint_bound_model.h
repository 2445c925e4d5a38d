#pragma once

#include <vector>

#include "search/active_design.h"
#include "response/response_surface.h"
#include "search/candidate_max.h"
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

 private:
  void setGradients(const ActiveDesign& child);
  double currentValue(const ActiveDesign& child) const;
  double couplingTerm() const;

  // Open fraction s = (H - k)/H of a laminate with k positions set, and s^3, for every k:
  // computed once per laminate size, as the search asks for them millions of times.
  struct ScaleTable {
    double halfPlies = -1.0;
    std::vector<double> scale;
    std::vector<double> cube;
  };
  static void scalesOf(ScaleTable& table, const StackingSequence& laminate, double& s,
                       double& cube);

  SurfaceBlocks blocks_;
  double groupTerms_[kGroups][2] = {};
  double fixedPart_ = 0.0;
  double groupGradients_[kGroups][2] = {};
  double groupScales_[kGroups] = {};
  // Coupling constants of the blocks 12, 34, 13, 24, 14, 23, in this order.
  double couplingBounds_[6] = {};
  CandidateSystems candidates_;
  ScaleTable skinScales_;
  ScaleTable stiffenerScales_;
};

}  // namespace kelm
