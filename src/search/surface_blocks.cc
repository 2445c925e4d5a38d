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
