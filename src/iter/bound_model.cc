#include "iter/bound_model.h"

#include "base/fatal.h"
#include "numerics/small_algebra.h"
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

// The gradients are (t + P x) + Q y and (t + Q^T x) + R y, summed as the guarded vector
// operations sum them; every order below is deliberate: pruning at 1e-13 depends on the last bit.
double EvaluateBranch_iter(const ActiveDesign& design, BoundModel& m) {
  if (m.terms_.skinActive != design.skinActive)
    fatal(Stream::Err, "flag is not correct. @EvaluateBranch_iter", false);
  const bool skin = design.skinActive;
  const StackingSequence& active = design.active();
  const double* x = active.parameters();
  const double* y = x + 2;
  const ActiveBlocks blocks = activeBlocks(m.blocks_, skin);
  const int inPlaneGroup = inPlaneGroupOf(skin);
  const Mathmx& couplingT = m.blocks_.hessian[inPlaneGroup + 1][inPlaneGroup];
  const double* inPlaneTerm = m.terms_.inPlaneTerm.data();
  const double* bendingTerm = m.terms_.bendingTerm.data();

  small::affine2(inPlaneTerm, blocks.inPlane.data(), x, blocks.coupling.data(), y,
                 m.inPlaneGradient);
  small::affine2(bendingTerm, couplingT.data(), x, blocks.bending.data(), y, m.bendingGradient);
  m.shares_.of(active, m.inPlaneScale, m.bendingScale);

  const double f0 = activeValue(x, y, blocks, inPlaneTerm, bendingTerm, m.terms_.fixedPart);
  const double coupling = skin ? m.skinCouplingBound_ : m.stiffenerCouplingBound_;
  const double best1 = maximiseOverTriangle(m.inPlaneGradient, m.inPlaneScale, blocks.inPlane,
                                            m.candidates_, inPlaneGroup, kIterInsideTolerance);
  const double best2 = maximiseOverTriangle(m.bendingGradient, m.bendingScale, blocks.bending,
                                            m.candidates_, inPlaneGroup + 1, kIterInsideTolerance);
  return ((m.inPlaneScale * m.bendingScale * coupling + best2) + best1) + f0;
}

}  // namespace kelm
