#include "alt/joint_bound_model.h"

#include <cmath>

#include "numerics/small_algebra.h"

namespace kelm {

void JointBoundModel::setJointBoundModel(const ResponseSurface& model) {
  blocks_.copyFrom(model);
  const Mathmx* const hessianBlocks[kGroups] = {&blocks_.block11, &blocks_.block22,
                                                &blocks_.block33, &blocks_.block44};
  candidates_.setLUdecomp(hessianBlocks);
  const Mathmx* const couplings[6] = {&blocks_.block12, &blocks_.block34, &blocks_.block13,
                                      &blocks_.block24, &blocks_.block14, &blocks_.block23};
  for (int i = 0; i < 6; ++i) couplingBounds_[i] = couplingBound(*couplings[i]);
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

// The order of every sum below is deliberate: pruning at 1e-13 depends on the last bit.
void JointBoundModel::setJointBoundTerms(const ActiveDesign& parent) {
  using namespace small;
  const SurfaceBlocks& m = blocks_;
  double(*t)[2] = groupTerms_;
  if (parent.skinActive) {  // the stiffener is fixed for all children
    const double* xt = parent.design.stiffener.parameters();
    const double* yt = xt + 2;
    fixedPart_ = fixedLaminatePart(xt, yt, m.block33, m.block44, m.block34, m.linear3, m.linear4,
                                   m.constant);
    affine2(m.linear1.data(), m.block13.data(), xt, m.block14.data(), yt, t[0]);
    affine2(m.linear2.data(), m.block23.data(), xt, m.block24.data(), yt, t[1]);
    affine2(m.linear3.data(), m.block33.data(), xt, m.block34.data(), yt, t[2]);
    affine2(m.linear4.data(), m.block34T.data(), xt, m.block44.data(), yt, t[3]);
  } else {  // the skin is fixed for all children
    const double* xs = parent.design.skin.parameters();
    const double* ys = xs + 2;
    fixedPart_ = fixedLaminatePart(xs, ys, m.block11, m.block22, m.block12, m.linear1, m.linear2,
                                   m.constant);
    affine2(m.linear1.data(), m.block11.data(), xs, m.block12.data(), ys, t[0]);
    affine2(m.linear2.data(), m.block12T.data(), xs, m.block22.data(), ys, t[1]);
    affine2(m.linear3.data(), m.block13T.data(), xs, m.block23T.data(), ys, t[2]);
    affine2(m.linear4.data(), m.block14T.data(), xs, m.block24T.data(), ys, t[3]);
  }
}

void JointBoundModel::setGradients(const ActiveDesign& child) {
  using namespace small;
  const SurfaceBlocks& m = blocks_;
  double(*g)[2] = groupGradients_;
  const double(*t)[2] = groupTerms_;
  if (child.skinActive) {
    const double* xs = child.design.skin.parameters();
    const double* ys = xs + 2;
    affine2(t[0], m.block11.data(), xs, m.block12.data(), ys, g[0]);
    affine2(t[1], m.block22.data(), ys, m.block12T.data(), xs, g[1]);
    affine2(t[2], m.block23T.data(), ys, m.block13T.data(), xs, g[2]);
    affine2(t[3], m.block24T.data(), ys, m.block14T.data(), xs, g[3]);
  } else {
    const double* xt = child.design.stiffener.parameters();
    const double* yt = xt + 2;
    affine2(t[0], m.block14.data(), yt, m.block13.data(), xt, g[0]);
    affine2(t[1], m.block24.data(), yt, m.block23.data(), xt, g[1]);
    affine2(t[2], m.block34.data(), yt, m.block33.data(), xt, g[2]);
    affine2(t[3], m.block44.data(), yt, m.block34T.data(), xt, g[3]);
  }
}

double JointBoundModel::currentValue(const ActiveDesign& child) const {
  const double* active = child.active().parameters();
  const int group = child.skinActive ? 0 : 2;
  return activeValue(active, active + 2, activeBlocks(blocks_, child.skinActive),
                     groupTerms_[group], groupTerms_[group + 1], fixedPart_);
}

double JointBoundModel::couplingTerm() const {
  const double* c = couplingBounds_;
  const double* s = groupScales_;
  return (((c[0] * s[1] + c[4] * s[3]) + c[2] * s[2]) * s[0] + (c[3] * s[1] + c[1] * s[2]) * s[3]) +
         c[5] * s[1] * s[2];
}

void JointBoundModel::scalesOf(ScaleTable& table, const StackingSequence& laminate, double& s,
                               double& cube) {
  const double h = laminate.halfPlies();
  if (table.halfPlies != h) {
    table.halfPlies = h;
    const int positions = laminate.plyCount();
    table.scale.assign(positions + 1, 0.0);
    table.cube.assign(positions + 1, 0.0);
    for (int k = 0; k <= positions; ++k) {
      table.scale[k] = (h - k) / h;
      table.cube[k] = std::pow(table.scale[k], 3.0);
    }
  }
  s = table.scale[laminate.setCount()];
  cube = table.cube[laminate.setCount()];
}

double JointBoundModel::evaluateJointBound(const ActiveDesign& child) {
  setGradients(child);
  // The open positions of a laminate are its inner ones: they add s * u in-plane and s^3 * v
  // in bending.
  scalesOf(skinScales_, child.design.skin, groupScales_[0], groupScales_[1]);
  scalesOf(stiffenerScales_, child.design.stiffener, groupScales_[2], groupScales_[3]);
  const double f0 = currentValue(child);
  const Mathmx* const hessians[kGroups] = {&blocks_.block11, &blocks_.block22, &blocks_.block33,
                                           &blocks_.block44};
  double groupBest[kGroups];
  for (int g = 0; g < kGroups; ++g)
    groupBest[g] = maximiseOverTriangle(groupGradients_[g], groupScales_[g], *hessians[g],
                                        candidates_, g, kJointInsideTolerance);
  return couplingTerm() + groupBest[0] + groupBest[1] + groupBest[2] + groupBest[3] + f0;
}

}  // namespace kelm
