#include "iter/turn_count_bound.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelm {

namespace {

// Relative to the largest value the surface can take over the parameter box: far above the
// rounding of any bound (about 1e-15 of it), far below any gap the pruning can use.
constexpr double kRelativeMargin = 1e-12;

// Entry (i, j) of the Hessian's symmetric part, parameters numbered by group (two per group).
double symmetricEntry(const SurfaceBlocks& blocks, int i, int j) {
  const double upper = blocks.hessian[i / 2][j / 2](i % 2 + 1, j % 2 + 1);
  const double lower = blocks.hessian[j / 2][i / 2](j % 2 + 1, i % 2 + 1);
  return 0.5 * (upper + lower);
}

// The sum of the magnitudes of the surface's coefficients, each product term counted once.
double surfaceSize(const SurfaceBlocks& blocks) {
  double size = std::fabs(blocks.constant);
  for (int i = 0; i < 2 * kGroups; ++i) {
    size += std::fabs(blocks.linear[i / 2].data()[i % 2]);
    for (int j = 0; j < 2 * kGroups; ++j) size += 0.5 * std::fabs(symmetricEntry(blocks, i, j));
  }
  return size;
}

}  // namespace

void TurnCountBound::setSurface(const ResponseSurface& model) {
  blocks_.copyFrom(model);
  margin_ = kRelativeMargin * std::max(1.0, surfaceSize(blocks_));
  for (int l = 0; l < kLaminates; ++l) {
    const int first = 2 * inPlaneGroupOf(l == 0);  // the laminate's first parameter
    for (int i = 0; i < kOwnParameters; ++i)
      for (int j = 0; j < kOwnParameters; ++j)
        own_[l][i][j] = symmetricEntry(blocks_, first + i, first + j);
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 2; ++j) {
        ownInPlane_[l].ref(i + 1, j + 1) = own_[l][i][j];
        ownCoupling_[l].ref(i + 1, j + 1) = own_[l][i][2 + j];
        ownBending_[l].ref(i + 1, j + 1) = own_[l][2 + i][2 + j];
      }
    }
  }
}

void TurnCountBound::setLaminates(int skinPlyTotal, int stiffenerPlyTotal,
                                  const LaminateRules& skinRules,
                                  const LaminateRules& stiffenerRules) {
  const int totals[kLaminates] = {skinPlyTotal, stiffenerPlyTotal};
  const LaminateRules* rules[kLaminates] = {&skinRules, &stiffenerRules};
  for (int l = 0; l < kLaminates; ++l)
    scans_[l].setModel(totals[l], {ownInPlane_[l], ownCoupling_[l], ownBending_[l]}, *rules[l]);
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
  const double shared = value + margin_;
  LaminateCountScan& scan = scans_[skin ? 0 : 1];
  if (!scan.scanLargest(active, gradient_, floor - shared))
    return -std::numeric_limits<double>::infinity();
  return shared + scan.best();
}

}  // namespace kelm
