#include "alt/joint_bound_model.h"

#include <cmath>

#include "numerics/small_algebra.h"
#include "search/coupling_bound.h"

namespace kelm {

void JointBoundModel::setJointBoundModel(const ResponseSurface& model) {
  blocks_.copyFrom(model);
  candidates_.setLUdecomp(blocks_);
  for (int i = 0; i < kCouplings; ++i) {
    const auto [row, column] = kCouplingBlocks[i];
    couplingBounds_[i] = couplingBound(blocks_.hessian[row][column]);
  }
}

namespace {

// What the fixed laminate (in-plane x, bending y) contributes on its own, constant included.
double fixedLaminatePart(const double* x, const double* y, const Mathmx& inPlane,
                         const Mathmx& bending, const Mathmx& coupling, const Vector& linearX,
                         const Vector& linearY, double constant) {
  using namespace small;
  double t = quadraticForm2(inPlane.data(), x) + quadraticForm2(bending.data(), y);
  t = t * 0.5 + dot2(linearX.data(), x);
  t = t + dot2(linearY.data(), y);
  t = t + bilinearForm2(x, coupling.data(), y);
  return t + constant;
}

}  // namespace

// The laminate not extended is fixed for all children of `parent`: with f its in-plane group,
// x and y its parameters, each group's term is its linear part plus what the fixed laminate
// couples into it. The order of every sum below is deliberate: pruning at 1e-13 depends on the
// last bit.
void JointBoundModel::setJointBoundTerms(const ActiveDesign& parent) {
  const Mathmx(&h)[kGroups][kGroups] = blocks_.hessian;
  const Vector* linear = blocks_.linear;
  const int f = inPlaneGroupOf(!parent.skinActive);
  const StackingSequence& fixed = parent.skinActive ? parent.design.stiffener : parent.design.skin;
  const double* x = fixed.parameters();
  const double* y = x + 2;
  fixedPart_ = fixedLaminatePart(x, y, h[f][f], h[f + 1][f + 1], h[f][f + 1], linear[f],
                                 linear[f + 1], blocks_.constant);
  for (int g = 0; g < kGroups; ++g)
    small::affine2(linear[g].data(), h[g][f].data(), x, h[g][f + 1].data(), y, groupTerms_[g]);
}

// With a the extended laminate's in-plane group and x, y its parameters. The skin's own
// in-plane gradient adds its in-plane part first; every other gradient adds its bending part
// first. The order is deliberate: pruning at 1e-13 depends on the last bit.
void JointBoundModel::setGradients(const ActiveDesign& child) {
  const Mathmx(&h)[kGroups][kGroups] = blocks_.hessian;
  const int a = inPlaneGroupOf(child.skinActive);
  const double* x = child.active().parameters();
  const double* y = x + 2;
  for (int g = 0; g < kGroups; ++g) {
    const double* inPlane = h[g][a].data();
    const double* bending = h[g][a + 1].data();
    if (child.skinActive && g == kSkinGroup)
      small::affine2(groupTerms_[g], inPlane, x, bending, y, groupGradients_[g]);
    else
      small::affine2(groupTerms_[g], bending, y, inPlane, x, groupGradients_[g]);
  }
}

double JointBoundModel::currentValue(const ActiveDesign& child) const {
  const double* active = child.active().parameters();
  const int group = inPlaneGroupOf(child.skinActive);
  return activeValue(active, active + 2, activeBlocks(blocks_, child.skinActive),
                     groupTerms_[group], groupTerms_[group + 1], fixedPart_);
}

double JointBoundModel::couplingTerm() const {
  const double* c = couplingBounds_;
  const double* s = groupScales_;
  return (((c[0] * s[1] + c[4] * s[3]) + c[2] * s[2]) * s[0] + (c[3] * s[1] + c[1] * s[2]) * s[3]) +
         c[5] * s[1] * s[2];
}

double JointBoundModel::evaluateJointBound(const ActiveDesign& child) {
  setGradients(child);
  // The open positions of a laminate are its inner ones: they add s * u in-plane and s^3 * v
  // in bending.
  skinShares_.of(child.design.skin, groupScales_[0], groupScales_[1]);
  stiffenerShares_.of(child.design.stiffener, groupScales_[2], groupScales_[3]);
  const double f0 = currentValue(child);
  double groupBest[kGroups];
  for (int g = 0; g < kGroups; ++g)
    groupBest[g] = edgesAlongTheEdges_
                       ? maximiseOverTriangleOnEdges(groupGradients_[g], groupScales_[g],
                                                     blocks_.hessian[g][g], candidates_, g)
                       : maximiseOverTriangle(groupGradients_[g], groupScales_[g],
                                              blocks_.hessian[g][g], candidates_, g,
                                              kJointInsideTolerance);
  return couplingTerm() + groupBest[0] + groupBest[1] + groupBest[2] + groupBest[3] + f0;
}

}  // namespace kelm
