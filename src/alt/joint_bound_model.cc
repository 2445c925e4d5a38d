#include "alt/joint_bound_model.h"

#include <cmath>

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

// The order of every sum below is deliberate: pruning at 1e-13 depends on the last bit.
void JointBoundModel::setJointBoundTerms(const PanelDesign& parent) {
  const SurfaceBlocks& m = blocks_;
  if (parent.skinActive) {  // the stiffener is fixed for all children
    const Vector xt = parent.stiffener.inPlaneLP();
    const Vector yt = parent.stiffener.bendingLP();
    fixedPart_ = (xt.dot(m.block33 * xt) + yt.dot(m.block44 * yt)) * 0.5 + m.linear3.dot(xt) +
                 m.linear4.dot(yt) + xt.dot(m.block34 * yt) + m.constant;
    groupTerms_[0] = (m.linear1 + m.block13 * xt) + m.block14 * yt;
    groupTerms_[1] = (m.linear2 + m.block23 * xt) + m.block24 * yt;
    groupTerms_[2] = (m.linear3 + m.block33 * xt) + m.block34 * yt;
    groupTerms_[3] = (m.linear4 + m.block34T * xt) + m.block44 * yt;
  } else {  // the skin is fixed for all children
    const Vector xs = parent.skin.inPlaneLP();
    const Vector ys = parent.skin.bendingLP();
    fixedPart_ = (xs.dot(m.block11 * xs) + ys.dot(m.block22 * ys)) * 0.5 + m.linear1.dot(xs) +
                 m.linear2.dot(ys) + xs.dot(m.block12 * ys) + m.constant;
    groupTerms_[0] = (m.linear1 + m.block11 * xs) + m.block12 * ys;
    groupTerms_[1] = (m.linear2 + m.block12T * xs) + m.block22 * ys;
    groupTerms_[2] = (m.linear3 + m.block13T * xs) + m.block23T * ys;
    groupTerms_[3] = (m.linear4 + m.block14T * xs) + m.block24T * ys;
  }
}

namespace {

// g = (t + M u) + N w for two-element t, u and w, each element summed as the Vector and Mathmx
// operations sum it (products from 0.0, column by column), so the result is the same to the
// last bit without the temporaries.
void gradientInto(Vector& g, const Vector& t, const Mathmx& m, const double* u, const Mathmx& n,
                  const double* w) {
  const double* td = t.data();
  const double* md = m.data();
  const double* nd = n.data();
  double* gd = g.data();
  for (int i = 0; i < 2; ++i) {
    const double mu = (0.0 + md[i] * u[0]) + md[2 + i] * u[1];
    const double nw = (0.0 + nd[i] * w[0]) + nd[2 + i] * w[1];
    gd[i] = (mu + td[i]) + nw;
  }
}

}  // namespace

void JointBoundModel::setGradients(const PanelDesign& child) {
  const SurfaceBlocks& m = blocks_;
  Vector* g = groupGradients_;
  const Vector* t = groupTerms_;
  if (child.skinActive) {
    const double* xs = child.skin.parameters();
    const double* ys = xs + 2;
    gradientInto(g[0], t[0], m.block11, xs, m.block12, ys);
    gradientInto(g[1], t[1], m.block22, ys, m.block12T, xs);
    gradientInto(g[2], t[2], m.block23T, ys, m.block13T, xs);
    gradientInto(g[3], t[3], m.block24T, ys, m.block14T, xs);
  } else {
    const double* xt = child.stiffener.parameters();
    const double* yt = xt + 2;
    gradientInto(g[0], t[0], m.block14, yt, m.block13, xt);
    gradientInto(g[1], t[1], m.block24, yt, m.block23, xt);
    gradientInto(g[2], t[2], m.block34, yt, m.block33, xt);
    gradientInto(g[3], t[3], m.block44, yt, m.block34T, xt);
  }
}

double JointBoundModel::currentValue(const PanelDesign& child) const {
  const StackingSequence& active = child.active();
  const int group = child.skinActive ? 0 : 2;
  return activeValue(active.inPlaneLP(), active.bendingLP(), activeBlocks(blocks_, child.skinActive),
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

double JointBoundModel::evaluateJointBound(const PanelDesign& child) {
  setGradients(child);
  // The open positions of a laminate are its inner ones: they add s * u in-plane and s^3 * v
  // in bending.
  scalesOf(skinScales_, child.skin, groupScales_[0], groupScales_[1]);
  scalesOf(stiffenerScales_, child.stiffener, groupScales_[2], groupScales_[3]);
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
