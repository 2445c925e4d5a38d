#include "search/symmetric_surface.h"

#include <algorithm>
#include <cmath>

namespace kelm {

namespace {
// Relative to the largest value the surface can take over the parameter box: far above the
// rounding of any bound (about 1e-15 of it), far below any gap the pruning can use.
constexpr double kRelativeMargin = 1e-12;
}  // namespace

// The margin is 1e-12 of the sum of the coefficients' magnitudes, each product term once.
void SymmetricSurface::copyFrom(const SurfaceBlocks& blocks) {
  const auto raw = [&](int i, int j) {
    return blocks.hessian[i / 2][j / 2](i % 2 + 1, j % 2 + 1);
  };
  double size = std::fabs(blocks.constant);
  for (int i = 0; i < kParameters; ++i) {
    linear[i] = blocks.linear[i / 2].data()[i % 2];
    size += std::fabs(linear[i]);
    for (int j = 0; j < kParameters; ++j) {
      hessian[i][j] = 0.5 * (raw(i, j) + raw(j, i));
      size += 0.5 * std::fabs(hessian[i][j]);
    }
  }
  constant = blocks.constant;
  margin = kRelativeMargin * std::max(1.0, size);
}

Mathmx SymmetricSurface::block(int rowGroup, int columnGroup) const {
  Mathmx result;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      result.ref(i + 1, j + 1) = hessian[2 * rowGroup + i][2 * columnGroup + j];
  return result;
}

}  // namespace kelm
