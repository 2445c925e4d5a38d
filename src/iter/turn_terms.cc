#include "iter/turn_terms.h"

namespace kelm {

// With a the active laminate's groups and f the fixed one's, x and y the fixed laminate's
// in-plane and bending parameters. The order of the sums is deliberate: ties at 1e-13 depend
// on the last bit.
TurnTerms computeTurnTerms(const SurfaceBlocks& m, const ActiveDesign& candidate) {
  const bool skin = candidate.skinActive;
  const int a = inPlaneGroupOf(skin);
  const int f = inPlaneGroupOf(!skin);
  const StackingSequence& fixed = skin ? candidate.design.stiffener : candidate.design.skin;
  const Vector x = fixed.inPlaneLP();
  const Vector y = fixed.bendingLP();
  const Mathmx(&h)[kGroups][kGroups] = m.hessian;
  const Vector* linear = m.linear;
  TurnTerms terms;
  terms.skinActive = skin;
  terms.fixedPart = ((y.dot(h[f + 1][f + 1] * y) + x.dot(h[f][f] * x)) * 0.5) +
                    y.dot(linear[f + 1]) + x.dot(linear[f]) + x.dot(h[f][f + 1] * y) + m.constant;
  terms.inPlaneTerm = (linear[a] + h[a][f] * x) + h[a][f + 1] * y;
  terms.bendingTerm = (linear[a + 1] + h[a + 1][f] * x) + h[a + 1][f + 1] * y;
  return terms;
}

}  // namespace kelm
