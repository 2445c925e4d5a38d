#include "fitting/target_surface.h"

#include <algorithm>
#include <cmath>

namespace kelm {

double targetOffset(const SurfaceParameters& target, const SurfaceParameters& weights,
                    const QuadraticTerms& terms) {
  double offset = 0.0;
  for (const int i : terms.variables())
    offset += weights[i] * (1.0 + std::fabs(target[i])) * (1.0 + std::fabs(target[i]));
  return offset;
}

// Only the constant, the linear terms and the squares are non-zero.
std::vector<double> targetSurface(const SurfaceParameters& target, const SurfaceParameters& weights,
                                  const QuadraticTerms& terms) {
  std::vector<double> c(terms.count(), 0.0);
  c[0] = targetOffset(target, weights, terms);
  int linear = 1;
  for (const int i : terms.variables()) {
    c[0] -= weights[i] * target[i] * target[i];
    c[linear++] = 2.0 * weights[i] * target[i];
    c[terms.productIndex(i, i)] = -weights[i];
  }
  return c;
}

double targetOffset(const SurfaceParameters& target, const SurfaceParameters& weights) {
  return targetOffset(target, weights, QuadraticTerms::panel());
}

QuadraticCoefficients targetSurface(const SurfaceParameters& target, const SurfaceParameters& weights) {
  const std::vector<double> terms = targetSurface(target, weights, QuadraticTerms::panel());
  QuadraticCoefficients c{};
  std::copy(terms.begin(), terms.end(), c.begin());
  return c;
}

}  // namespace kelm
