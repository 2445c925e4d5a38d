#pragma once

#include "iter/turn_terms.h"
#include "laminate/laminate_rules.h"
#include "response/response_surface.h"
#include "search/active_design.h"
#include "search/laminate_count_scan.h"
#include "search/surface_blocks.h"
#include "search/symmetric_surface.h"

namespace kelm {

// The tight mode's bound of a turn. With the fixed laminate folded in, the objective is a
// quadratic in the active laminate's four parameters z alone: from a branch at z, a completion
// that adds the increment D reaches F(z) + g . D + half D H D, with g the gradient at z and H
// the active laminate's own block of the symmetric Hessian. LaminateCountScan maximises the last
// two terms over the counts of codes the open positions can hold under the rules, so the bound
// knows what the rules and the ply order allow, which the default bound does not.
class TurnCountBound {
 public:
  // Prepares the surface's own blocks of both laminates and the margin.
  void setSurface(const ResponseSurface& model);
  // Tabulates the counts of both laminates, once per run.
  // A stop request ends the tables' set-up early (see OpenCountTable::build).
  void setLaminates(int skinPlyTotal, int stiffenerPlyTotal, const LaminateRules& skinRules,
                    const LaminateRules& stiffenerRules, const StopRequest* stop = nullptr);
  // Folds the fixed laminate of the turn into the linear terms.
  void setTurn(const ActiveDesign& candidate);

  // An upper bound of every allowed completion of the design's active laminate, the margin
  // included; -infinity when the rules leave it no completion. Exact over the counts when it
  // reaches `floor`; below it, any bound below `floor`.
  double evaluate(const ActiveDesign& design, double floor);

 private:
  static constexpr int kLaminates = 2;
  static constexpr int kOwnParameters = 4;  // in-plane 0, 1, bending 2, 3

  SurfaceBlocks blocks_;
  SymmetricSurface surface_;  // its symmetric Hessian and the margin
  TurnTerms terms_;
  // Per laminate (skin 0, stiffener 1): its own block of the symmetric Hessian, as a table for
  // the gradient and as the three 2 x 2 blocks the count tables take.
  double own_[kLaminates][kOwnParameters][kOwnParameters] = {};
  Mathmx ownInPlane_[kLaminates];
  Mathmx ownCoupling_[kLaminates];
  Mathmx ownBending_[kLaminates];
  LaminateCountScan scans_[kLaminates];
  double gradient_[kOwnParameters] = {};  // of the branch in progress, read by the scan
};

}  // namespace kelm
