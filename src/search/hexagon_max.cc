#include "search/hexagon_max.h"

#include <algorithm>
#include <limits>

#include "numerics/small_algebra.h"

namespace kelm {

namespace {
// Points this close to an edge count as inside: the stationary value is then within rounding
// of the edge's maximum, and counting it can only raise the bound.
constexpr double kInsideSlack = 1e-14;
}  // namespace

void BendingForm::set(const Mathmx& bending) {
  const double* d = bending.data();
  const double determinant = d[0] * d[3] - d[2] * d[1];
  concave_ = d[0] < 0.0 && determinant > 0.0;
  if (!concave_) return;
  inverse_[0] = d[3] / determinant;
  inverse_[1] = -d[1] / determinant;
  inverse_[2] = -d[2] / determinant;
  inverse_[3] = d[0] / determinant;
}

// The corners' values first; along each edge from corner i the quadratic is
// v_i + t s_i + half t^2 k_i (t from 0 to 1), largest inside the edge at t = -s_i / k_i when
// k_i < 0.
double BendingForm::maxOverHexagon(const CountEntry& entry, const double h[2]) const {
  const int n = entry.cornerCount;
  double value[CountEntry::kMaxCorners];
  double along[CountEntry::kMaxCorners];
  for (int i = 0; i < n; ++i) {
    along[i] = small::dot2(h, entry.corner[i]);
    value[i] = along[i] + entry.cornerCurvature[i];
  }
  double best = -std::numeric_limits<double>::infinity();
  for (int i = 0; i < n; ++i) {
    best = std::max(best, value[i]);
    const double k = entry.edgeCurvature[i];
    if (!(k < 0.0)) continue;
    const double s = (along[(i + 1) % n] - along[i]) + entry.edgeSlope[i];
    if (s > 0.0 && s < -k) best = std::max(best, value[i] - 0.5 * s * s / k);
  }
  if (!concave_ || entry.flat) return best;
  double stationary[2];
  small::matVec2(inverse_, h, stationary);
  stationary[0] = -stationary[0];
  stationary[1] = -stationary[1];
  if (inside(entry, stationary)) best = std::max(best, 0.5 * small::dot2(h, stationary));
  return best;
}

bool BendingForm::inside(const CountEntry& entry, const double* point) const {
  const int n = entry.cornerCount;
  bool left = true;
  bool right = true;
  for (int i = 0; i < n; ++i) {
    const double* p = entry.corner[i];
    const double* q = entry.corner[(i + 1) % n];
    const double cross = (q[0] - p[0]) * (point[1] - p[1]) - (q[1] - p[1]) * (point[0] - p[0]);
    left = left && cross >= -kInsideSlack;
    right = right && cross <= kInsideSlack;
  }
  return left || right;
}

}  // namespace kelm
