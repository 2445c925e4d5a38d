#include "iter/turn_terms.h"

namespace kelm {

TurnTerms computeTurnTerms(const SurfaceBlocks& m, const ActiveDesign& candidate) {
  TurnTerms terms;
  terms.skinActive = candidate.skinActive;
  if (candidate.skinActive) {  // the stiffener is fixed
    const Vector l3 = candidate.design.stiffener.inPlaneLP();
    const Vector l4 = candidate.design.stiffener.bendingLP();
    terms.fixedPart = ((l4.dot(m.block44 * l4) + l3.dot(m.block33 * l3)) * 0.5) + l4.dot(m.linear4) +
                      l3.dot(m.linear3) + l3.dot(m.block34 * l4) + m.constant;
    terms.inPlaneTerm = (m.linear1 + m.block13 * l3) + m.block14 * l4;
    terms.bendingTerm = (m.linear2 + m.block23 * l3) + m.block24 * l4;
  } else {  // the skin is fixed
    const Vector l1 = candidate.design.skin.inPlaneLP();
    const Vector l2 = candidate.design.skin.bendingLP();
    terms.fixedPart = ((l2.dot(m.block22 * l2) + l1.dot(m.block11 * l1)) * 0.5) + l2.dot(m.linear2) +
                      l1.dot(m.linear1) + l1.dot(m.block12 * l2) + m.constant;
    terms.inPlaneTerm = (m.linear3 + m.block13T * l1) + m.block23T * l2;
    terms.bendingTerm = (m.linear4 + m.block14T * l1) + m.block24T * l2;
  }
  return terms;
}

}  // namespace kelm
