#include "search/surface_blocks.h"

#include "numerics/small_algebra.h"

namespace kelm {

void SurfaceBlocks::copyFrom(const ResponseSurface& model) {
  block11 = model.block11();
  block12 = model.block12();
  block22 = model.block22();
  block33 = model.block33();
  block34 = model.block34();
  block44 = model.block44();
  block13 = model.block13();
  block14 = model.block14();
  block23 = model.block23();
  block24 = model.block24();
  linear1 = model.linear1();
  linear2 = model.linear2();
  linear3 = model.linear3();
  linear4 = model.linear4();
  constant = model.constant;
  block12T = block12.transpose();
  block34T = block34.transpose();
  block13T = block13.transpose();
  block14T = block14.transpose();
  block23T = block23.transpose();
  block24T = block24.transpose();
}

TurnTerms computeTurnTerms(const SurfaceBlocks& m, const PanelDesign& design) {
  TurnTerms terms;
  terms.skinActive = design.skinActive;
  if (design.skinActive) {  // the stiffener is fixed
    const Vector l3 = design.stiffener.inPlaneLP();
    const Vector l4 = design.stiffener.bendingLP();
    terms.fixedPart = ((l4.dot(m.block44 * l4) + l3.dot(m.block33 * l3)) * 0.5) + l4.dot(m.linear4) +
                      l3.dot(m.linear3) + l3.dot(m.block34 * l4) + m.constant;
    terms.inPlaneTerm = (m.linear1 + m.block13 * l3) + m.block14 * l4;
    terms.bendingTerm = (m.linear2 + m.block23 * l3) + m.block24 * l4;
  } else {  // the skin is fixed
    const Vector l1 = design.skin.inPlaneLP();
    const Vector l2 = design.skin.bendingLP();
    terms.fixedPart = ((l2.dot(m.block22 * l2) + l1.dot(m.block11 * l1)) * 0.5) + l2.dot(m.linear2) +
                      l1.dot(m.linear1) + l1.dot(m.block12 * l2) + m.constant;
    terms.inPlaneTerm = (m.linear3 + m.block13T * l1) + m.block23T * l2;
    terms.bendingTerm = (m.linear4 + m.block14T * l1) + m.block24T * l2;
  }
  return terms;
}

ActiveBlocks activeBlocks(const SurfaceBlocks& m, bool skinActive) {
  if (skinActive) return {m.block11, m.block12, m.block22};
  return {m.block33, m.block34, m.block44};
}

double activeValue(const Vector& x, const Vector& y, const ActiveBlocks& blocks, const Vector& a,
                   const Vector& b, double fixedPart) {
  if (x.size() == 2 && y.size() == 2 && a.size() == 2 && b.size() == 2)
    return activeValue(x.data(), y.data(), blocks, a.data(), b.data(), fixedPart);
  // Vectors of another size: the guarded operations end the run with their own messages.
  double t = y.dot(blocks.bending * y);
  t = (x.dot(blocks.inPlane * x) + t) * 0.5;
  t = y.dot(b) + t;
  t = x.dot(a) + t;
  t = x.dot(blocks.coupling * y) + t;
  return t + fixedPart;
}

double activeValue(const double* x, const double* y, const ActiveBlocks& blocks, const double* a,
                   const double* b, double fixedPart) {
  using namespace small;
  double t = quadraticForm2(blocks.bending.data(), y);
  t = (quadraticForm2(blocks.inPlane.data(), x) + t) * 0.5;
  t = dot2(y, b) + t;
  t = dot2(x, a) + t;
  t = bilinearForm2(x, blocks.coupling.data(), y) + t;
  return t + fixedPart;
}

}  // namespace kelm
