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

namespace {

// The corners of an entry: six, the block hexagon, known to the compiler (most entries: every
// entry without arrangement rules), or as many as a cut polygon has.
template <int kFixed>
int cornersOf(const CountEntry& entry) {
  return kFixed > 0 ? kFixed : entry.cornerCount;
}

template <int kFixed>
bool inside(const CountEntry& entry, const double* point) {
  const int n = cornersOf<kFixed>(entry);
  bool left = true;
  bool right = true;
  for (int i = 0; i < n; ++i) {
    const double* p = entry.corners[i].d;
    const double* q = entry.corners[(i + 1) % n].d;
    const double cross = (q[0] - p[0]) * (point[1] - p[1]) - (q[1] - p[1]) * (point[0] - p[0]);
    left = left && cross >= -kInsideSlack;
    right = right && cross <= kInsideSlack;
  }
  return left || right;
}

// The corners' values first; along each edge from corner i the quadratic is
// v_i + t s_i + half t^2 k_i (t from 0 to 1), largest inside the edge at t = -s_i / k_i when
// k_i < 0. With kTrack, `at` receives the point of the largest value.
template <int kFixed, bool kTrack = false>
double maxOverBoundary(const CountEntry& entry, const double h[2], double* at = nullptr) {
  const int n = cornersOf<kFixed>(entry);
  double value[CountEntry::kMaxCorners];
  double along[CountEntry::kMaxCorners];
  for (int i = 0; i < n; ++i) {
    along[i] = small::dot2(h, entry.corners[i].d);
    value[i] = along[i] + entry.corners[i].curvature;
  }
  double best = -std::numeric_limits<double>::infinity();
  int bestEdge = 0;
  double bestStep = 0.0;
  for (int i = 0; i < n; ++i) {
    if (value[i] > best) {
      best = value[i];
      if constexpr (kTrack) bestEdge = i, bestStep = 0.0;
    }
    const double k = entry.corners[i].edgeCurvature;
    if (!(k < 0.0)) continue;
    const double s = (along[(i + 1) % n] - along[i]) + entry.corners[i].slope;
    if (s > 0.0 && s < -k) {
      const double edge = value[i] - 0.5 * s * s / k;
      if (edge > best) {
        best = edge;
        if constexpr (kTrack) bestEdge = i, bestStep = -s / k;
      }
    }
  }
  if constexpr (kTrack) {
    const double* p = entry.corners[bestEdge].d;
    const double* q = entry.corners[(bestEdge + 1) % n].d;
    at[0] = p[0] + bestStep * (q[0] - p[0]);
    at[1] = p[1] + bestStep * (q[1] - p[1]);
  }
  return best;
}

}  // namespace

double BendingForm::maxOverHexagon(const CountEntry& entry, const double h[2]) const {
  const bool hexagon = entry.cornerCount == CountEntry::kBlockCorners;
  double best = hexagon ? maxOverBoundary<CountEntry::kBlockCorners>(entry, h)
                        : maxOverBoundary<0>(entry, h);
  double stationary[2];
  if (stationaryInside(entry, h, stationary))
    best = std::max(best, 0.5 * small::dot2(h, stationary));
  return best;
}

double BendingForm::maxOverHexagonAt(const CountEntry& entry, const double h[2],
                                     double at[2]) const {
  const bool hexagon = entry.cornerCount == CountEntry::kBlockCorners;
  double best = hexagon ? maxOverBoundary<CountEntry::kBlockCorners, true>(entry, h, at)
                        : maxOverBoundary<0, true>(entry, h, at);
  double stationary[2];
  if (!stationaryInside(entry, h, stationary)) return best;
  const double inner = 0.5 * small::dot2(h, stationary);
  if (!(inner > best)) return best;
  at[0] = stationary[0];
  at[1] = stationary[1];
  return inner;
}

// Where the quadratic is stationary, when it has one maximum and that lies in the polygon.
bool BendingForm::stationaryInside(const CountEntry& entry, const double h[2],
                                   double stationary[2]) const {
  if (!concave_ || entry.flat) return false;
  small::matVec2(inverse_, h, stationary);
  stationary[0] = -stationary[0];
  stationary[1] = -stationary[1];
  return entry.cornerCount == CountEntry::kBlockCorners
             ? inside<CountEntry::kBlockCorners>(entry, stationary)
             : inside<0>(entry, stationary);
}

}  // namespace kelm
