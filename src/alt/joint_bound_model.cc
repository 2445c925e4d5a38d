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

void JointBoundModel::setGradients(const PanelDesign& child) {
  const SurfaceBlocks& m = blocks_;
  if (child.skinActive) {
    const Vector xs = child.skin.inPlaneLP();
    const Vector ys = child.skin.bendingLP();
    groupGradients_[0] = (groupTerms_[0] + m.block11 * xs) + m.block12 * ys;
    groupGradients_[1] = (groupTerms_[1] + m.block22 * ys) + m.block12T * xs;
    groupGradients_[2] = (groupTerms_[2] + m.block23T * ys) + m.block13T * xs;
    groupGradients_[3] = (groupTerms_[3] + m.block24T * ys) + m.block14T * xs;
  } else {
    const Vector xt = child.stiffener.inPlaneLP();
    const Vector yt = child.stiffener.bendingLP();
    groupGradients_[0] = (groupTerms_[0] + m.block14 * yt) + m.block13 * xt;
    groupGradients_[1] = (groupTerms_[1] + m.block24 * yt) + m.block23 * xt;
    groupGradients_[2] = (groupTerms_[2] + m.block34 * yt) + m.block33 * xt;
    groupGradients_[3] = (groupTerms_[3] + m.block44 * yt) + m.block34T * xt;
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

double JointBoundModel::evaluateJointBound(const PanelDesign& child) {
  setGradients(child);
  // The open positions of a laminate are its inner ones: they add s * u in-plane and s^3 * v
  // in bending.
  const double hs = child.skin.halfPlies();
  const double ht = child.stiffener.halfPlies();
  groupScales_[0] = (hs - child.skin.setCount()) / hs;
  groupScales_[1] = std::pow(groupScales_[0], 3.0);
  groupScales_[2] = (ht - child.stiffener.setCount()) / ht;
  groupScales_[3] = std::pow(groupScales_[2], 3.0);
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
