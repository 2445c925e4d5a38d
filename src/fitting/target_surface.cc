#include "fitting/target_surface.h"

#include <cmath>

namespace kelm {

double targetOffset(const SurfaceParameters& target, const SurfaceParameters& weights) {
  double offset = 0.0;
  for (int i = 0; i < kSurfaceParameters; ++i)
    offset += weights[i] * (1.0 + std::fabs(target[i])) * (1.0 + std::fabs(target[i]));
  return offset;
}

// Fitting order: constant, x1..x8, then x_i x_j for i <= j; only the squares are non-zero.
QuadraticCoefficients targetSurface(const SurfaceParameters& target, const SurfaceParameters& weights) {
  QuadraticCoefficients c{};
  c[0] = targetOffset(target, weights);
  int square = 1 + kSurfaceParameters;
  for (int i = 0; i < kSurfaceParameters; ++i) {
    c[0] -= weights[i] * target[i] * target[i];
    c[1 + i] = 2.0 * weights[i] * target[i];
    c[square] = -weights[i];
    square += kSurfaceParameters - i;
  }
  return c;
}

}  // namespace kelm
