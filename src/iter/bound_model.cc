#include "iter/bound_model.h"

#include <cmath>

#include "base/fatal.h"
#include "search/coupling_bound.h"

namespace kelm {

void BoundModel::setBoundModel(const ResponseSurface& model) {
  blocks_.copyFrom(model);
  setLUdecomp();
  skinCouplingBound_ = couplingBound(blocks_.hessian[0][1]);
  stiffenerCouplingBound_ = couplingBound(blocks_.hessian[2][3]);
}

void BoundModel::setLUdecomp() {
  candidates_.setLUdecomp(blocks_);
}

void BoundModel::setBoundTerms(const ActiveDesign& candidate) {
  terms_ = computeTurnTerms(blocks_, candidate);
}

double EvaluateBranch_iter(const ActiveDesign& design, BoundModel& m) {
  if (m.terms_.skinActive != design.skinActive)
    fatal(Stream::Err, "flag is not correct. @EvaluateBranch_iter", false);
  const bool skin = design.skinActive;
  const StackingSequence& active = design.active();
  const Vector x = active.inPlaneLP();
  const Vector y = active.bendingLP();
  const ActiveBlocks blocks = activeBlocks(m.blocks_, skin);
  const int inPlaneGroup = inPlaneGroupOf(skin);
  const Mathmx& couplingT = m.blocks_.hessian[inPlaneGroup + 1][inPlaneGroup];

  m.inPlaneGradient = (m.terms_.inPlaneTerm + blocks.inPlane * x) + blocks.coupling * y;
  m.bendingGradient = (m.terms_.bendingTerm + couplingT * x) + blocks.bending * y;

  // The open positions are the inner ones: they add s * u in-plane and s^3 * v in bending.
  const double h = active.halfPlies();
  const double s = (h - active.setCount()) / h;
  m.inPlaneScale = s;
  m.bendingScale = std::pow(s, 3.0);

  const double f0 = activeValue(x, y, blocks, m.terms_.inPlaneTerm, m.terms_.bendingTerm,
                                m.terms_.fixedPart);
  const double coupling = skin ? m.skinCouplingBound_ : m.stiffenerCouplingBound_;
  const double best1 = maximiseOverTriangle(m.inPlaneGradient, m.inPlaneScale, blocks.inPlane,
                                            m.candidates_, inPlaneGroup, kIterInsideTolerance);
  const double best2 = maximiseOverTriangle(m.bendingGradient, m.bendingScale, blocks.bending,
                                            m.candidates_, inPlaneGroup + 1, kIterInsideTolerance);
  return ((m.inPlaneScale * m.bendingScale * coupling + best2) + best1) + f0;
}

}  // namespace kelm
