#include "search/surface_blocks.h"

#include "numerics/small_algebra.h"

namespace kelm {

void SurfaceBlocks::copyFrom(const ResponseSurface& model) {
  const Mathmx upper[kGroups][kGroups] = {
      {model.block11(), model.block12(), model.block13(), model.block14()},
      {Mathmx(), model.block22(), model.block23(), model.block24()},
      {Mathmx(), Mathmx(), model.block33(), model.block34()},
      {Mathmx(), Mathmx(), Mathmx(), model.block44()}};
  for (int i = 0; i < kGroups; ++i) {
    hessian[i][i] = upper[i][i];
    for (int j = i + 1; j < kGroups; ++j) {
      hessian[i][j] = upper[i][j];
      hessian[j][i] = upper[i][j].transpose();
    }
  }
  linear[0] = model.linear1();
  linear[1] = model.linear2();
  linear[2] = model.linear3();
  linear[3] = model.linear4();
  constant = model.constant;
}

ActiveBlocks activeBlocks(const SurfaceBlocks& m, bool skinActive) {
  const int g = inPlaneGroupOf(skinActive);
  return {m.hessian[g][g], m.hessian[g][g + 1], m.hessian[g + 1][g + 1]};
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
