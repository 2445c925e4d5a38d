#include "iter/turn_count_bound.h"

#include <limits>

namespace kelm {

void TurnCountBound::setSurface(const ResponseSurface& model) {
  blocks_.copyFrom(model);
  surface_.copyFrom(blocks_);
  for (int l = 0; l < kLaminates; ++l) {
    const int first = 2 * inPlaneGroupOf(l == 0);  // the laminate's first parameter
    for (int i = 0; i < kOwnParameters; ++i)
      for (int j = 0; j < kOwnParameters; ++j)
        own_[l][i][j] = surface_.hessian[first + i][first + j];
    const int group = inPlaneGroupOf(l == 0);
    ownInPlane_[l] = surface_.block(group, group);
    ownCoupling_[l] = surface_.block(group, group + 1);
    ownBending_[l] = surface_.block(group + 1, group + 1);
  }
}

void TurnCountBound::setLaminates(int skinPlyTotal, int stiffenerPlyTotal,
                                  const LaminateRules& skinRules,
                                  const LaminateRules& stiffenerRules, const StopRequest* stop) {
  const int totals[kLaminates] = {skinPlyTotal, stiffenerPlyTotal};
  const LaminateRules* rules[kLaminates] = {&skinRules, &stiffenerRules};
  for (int l = 0; l < kLaminates; ++l)
    scans_[l].setModel(totals[l], {ownInPlane_[l], ownCoupling_[l], ownBending_[l]}, *rules[l], stop);
}

void TurnCountBound::setTurn(const ActiveDesign& candidate) {
  terms_ = computeTurnTerms(blocks_, candidate);
}

// F and g at the branch's parameters, then the largest own part the allowed counts can add.
double TurnCountBound::evaluate(const ActiveDesign& design, double floor) {
  const bool skin = design.skinActive;
  const StackingSequence& active = design.active();
  const double* z = active.parameters();
  const double* inPlaneTerm = terms_.inPlaneTerm.data();
  const double* bendingTerm = terms_.bendingTerm.data();
  const double(&own)[kOwnParameters][kOwnParameters] = own_[skin ? 0 : 1];
  for (int i = 0; i < kOwnParameters; ++i) {
    double hz = 0.0;
    for (int j = 0; j < kOwnParameters; ++j) hz += own[i][j] * z[j];
    gradient_[i] = (i < 2 ? inPlaneTerm[i] : bendingTerm[i - 2]) + hz;
  }
  const double value =
      activeValue(z, z + 2, activeBlocks(blocks_, skin), inPlaneTerm, bendingTerm,
                  terms_.fixedPart);
  const double shared = value + surface_.margin;
  LaminateCountScan& scan = scans_[skin ? 0 : 1];
  if (!scan.scanLargest(active, gradient_, floor - shared))
    return -std::numeric_limits<double>::infinity();
  return shared + scan.best();
}

}  // namespace kelm
