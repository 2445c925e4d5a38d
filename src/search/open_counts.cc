#include "search/open_counts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "laminate/angle_code.h"
#include "laminate/stacking_sequence.h"
#include "numerics/small_algebra.h"

namespace kelm {

namespace {

// The six block orders, walking the hexagon's boundary: each differs from the one before by
// swapping two neighbouring blocks.
constexpr int kBlockOrders[CountEntry::kBlockCorners][3] = {{0, 1, 2}, {1, 0, 2}, {1, 2, 0},
                                                       {2, 1, 0}, {2, 0, 1}, {0, 2, 1}};

// The share of the bending stiffness outside depth p (p positions from the surface).
double outerCube(double halfPlies, double p) { return std::pow((halfPlies - p) / halfPlies, 3.0); }

void addCode(int code, double weight, double* increment) {
  const CodeCosines& cosines = codeCosines();
  increment[0] += weight * cosines.cos2[code];
  increment[1] += weight * cosines.cos4[code];
}

// Half x B x.
double halfForm(const Mathmx& b, const double* x) {
  return 0.5 * small::quadraticForm2(b.data(), x);
}

// The range of u * v over u in [uLow, uHigh], v in [vLow, vHigh].
void productRange(double uLow, double uHigh, double vLow, double vHigh, double& low,
                  double& high) {
  const double p[4] = {uLow * vLow, uLow * vHigh, uHigh * vLow, uHigh * vHigh};
  low = std::min(std::min(p[0], p[1]), std::min(p[2], p[3]));
  high = std::max(std::max(p[0], p[1]), std::max(p[2], p[3]));
}

// The largest half d D d over the entry's bending box, term by term.
double boxCurvatureBound(const CountEntry& entry, const Mathmx& bending) {
  const double* lo = entry.bendingLow;
  const double* hi = entry.bendingHigh;
  double bound = 0.0;
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      double low, high;
      productRange(lo[i], hi[i], lo[j], hi[j], low, high);
      const double d = bending(i + 1, j + 1);
      bound += std::max(d * low, d * high);
    }
  }
  return 0.5 * bound;
}

void fillSurfaceTerms(CountEntry& entry, const LaminateBlocks& blocks, BendingCorner* corners) {
  using namespace small;
  entry.inPlaneCurvature = halfForm(blocks.inPlane, entry.inPlane);
  const Mathmx bendingFromInPlane = blocks.coupling.transpose();
  matVec2(bendingFromInPlane.data(), entry.inPlane, entry.inPlaneIntoBending);
  const int n = entry.cornerCount;
  for (int i = 0; i < n; ++i) {
    const double* d = corners[i].d;
    const double* next = corners[(i + 1) % n].d;
    const double edge[2] = {next[0] - d[0], next[1] - d[1]};
    double bd[2];
    matVec2(blocks.bending.data(), d, bd);
    corners[i].curvature = 0.5 * dot2(d, bd);
    corners[i].slope = dot2(bd, edge);
    corners[i].edgeCurvature = quadraticForm2(blocks.bending.data(), edge);
  }
  entry.curvatureBound = boxCurvatureBound(entry, blocks.bending);
}

// Twice the signed area of a polygon of n corners.
double doubledArea(const double (*corner)[2], int n) {
  double area = 0.0;
  for (int i = 0; i < n; ++i) {
    const double* p = corner[i];
    const double* q = corner[(i + 1) % n];
    area += p[0] * q[1] - p[1] * q[0];
  }
  return area;
}


// The directions that cut the corners: where two codes tie (each code's pair of bending
// parameters is (1, 1), (0, -1) or (-1, 1)), walked by angle.
const std::vector<double>& cutDirections() {
  static const std::vector<double> directions = [] {
    const double ties[6][2] = {{2, 1}, {0, 1}, {-2, 1}, {-2, -1}, {0, -1}, {2, -1}};
    std::vector<double> all;
    for (const auto& tie : ties) {
      const double length = std::hypot(tie[0], tie[1]);
      all.insert(all.end(), {tie[0] / length, tie[1] / length});
    }
    return all;
  }();
  return directions;
}

// Slack on each cut's line: the table's sums run in another order than a laminate's own.
constexpr double kCutSlack = 1e-12;
// Corners this close together are one.
constexpr double kSameCorner = 1e-15;

// Keeps the part of the polygon `corners` (n of them) with u . d <= limit; -1 when that would
// take more corners than an entry holds (never for a convex polygon).
int cutPolygon(double (*corners)[2], int n, const double* u, double limit) {
  double kept[CountEntry::kMaxCorners][2];
  int count = 0;
  bool overflow = false;
  auto keep = [&](double x, double y) {
    if (count > 0 && std::fabs(x - kept[count - 1][0]) < kSameCorner &&
        std::fabs(y - kept[count - 1][1]) < kSameCorner)
      return;
    if (count == CountEntry::kMaxCorners) {
      overflow = true;
      return;
    }
    kept[count][0] = x;
    kept[count][1] = y;
    ++count;
  };
  for (int i = 0; i < n; ++i) {
    const double* p = corners[i];
    const double* q = corners[(i + 1) % n];
    const double fp = u[0] * p[0] + u[1] * p[1] - limit;
    const double fq = u[0] * q[0] + u[1] * q[1] - limit;
    if (fp <= 0.0) keep(p[0], p[1]);
    if ((fp < 0.0 && fq > 0.0) || (fp > 0.0 && fq < 0.0)) {
      const double t = fp / (fp - fq);
      keep(p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]));
    }
  }
  if (overflow) return -1;
  while (count > 1 && std::fabs(kept[0][0] - kept[count - 1][0]) < kSameCorner &&
         std::fabs(kept[0][1] - kept[count - 1][1]) < kSameCorner)
    --count;
  std::copy(&kept[0][0], &kept[0][0] + 2 * count, &corners[0][0]);
  return count;
}

}  // namespace

void blockBendingIncrement(const std::vector<double>& cubes, int setCount, const int count[3],
                           const int order[3], double increment[2]) {
  increment[0] = increment[1] = 0.0;
  int depth = setCount;
  for (int block = 0; block < 3; ++block) {
    const int code = order[block];
    if (count[code] == 0) continue;
    const double weight = cubes[depth] - cubes[depth + count[code]];
    addCode(code, weight, increment);
    depth += count[code];
  }
}

void OpenCountTable::setCorners(const CountEntry& entry, int setCount, Polygon& polygon) const {
  polygon.count = CountEntry::kBlockCorners;
  for (int i = 0; i < CountEntry::kBlockCorners; ++i)
    blockBendingIncrement(cubes_, setCount, entry.count, kBlockOrders[i], polygon.corner[i]);
}

// The hexagon cut by each direction's line of the largest u . d the allowed arrangements reach
// (`reach`, without the mid-plane ply's fixed share). A cut that would leave nothing (rounding)
// leaves the hexagon as it was; counts no arrangement keeps are marked unreachable.
void OpenCountTable::cutCorners(CountEntry& entry, const double* reach, Polygon& polygon) const {
  const std::vector<double>& directions = cutDirections();
  const int count = static_cast<int>(directions.size()) / 2;
  if (reach[0] == -std::numeric_limits<double>::infinity()) {
    entry.reachable = false;
    return;
  }
  double mid[2] = {0.0, 0.0};
  if (entry.midCode >= 0)
    addCode(entry.midCode, 1.0 / (8.0 * std::pow(plyTotal_ * 0.5, 3.0)), mid);
  double corners[CountEntry::kMaxCorners][2];
  std::copy(&polygon.corner[0][0], &polygon.corner[0][0] + 2 * polygon.count, &corners[0][0]);
  int n = polygon.count;
  for (int j = 0; j < count && n > 0; ++j) {
    const double* u = &directions[2 * j];
    const double limit = reach[j] + (u[0] * mid[0] + u[1] * mid[1]) + kCutSlack;
    n = cutPolygon(corners, n, u, limit);
    if (n < 0) return;
  }
  if (n == 0) return;
  std::copy(&corners[0][0], &corners[0][0] + 2 * n, &polygon.corner[0][0]);
  polygon.count = n;
}

void OpenCountTable::build(int plyTotal, const LaminateBlocks& blocks, const Arrangement& rules,
                           const StopRequest* stop, int boundedStretch) {
  plyTotal_ = plyTotal;
  boundedStretch_ = boundedStretch;
  positions_ = halfPositions(plyTotal);
  entries_.clear();
  largestGroup_ = 0;
  cubes_.resize(positions_ + 1);
  for (int p = 0; p <= positions_; ++p) cubes_[p] = outerCube(plyTotal_ * 0.5, p);
  std::optional<ArrangementSupport> support;
  const bool arranged =
      plyTotal > 0 && (rules.runLimit > 0 || rules.noCrossPlyJump || rules.outer45);
  if (arranged) support.emplace(bendingWeights(), positions_, rules, cutDirections());
  boundaries_ = support && boundedStretch > 0 ? support->boundaryCount() : 1;
  entries_.reserve(entryCount());
  std::vector<Polygon> polygons;  // each entry's, while they are cut
  polygons.reserve(entryCount());
  first_.assign(static_cast<std::size_t>(boundaries_) * (positions_ + 1) + 1, 0);
  for (int boundary = 0; boundary < boundaries_; ++boundary) {
    for (int k = 0; k <= positions_; ++k) {
      const std::size_t g = group(k, boundary);
      first_[g] = static_cast<int>(entries_.size());
      if (stop != nullptr && stop->requested()) continue;
      if (boundary > 0 && !boundaryKept(k)) continue;
      if (boundary > 0) {  // the same corners as without a boundary, before their cuts
        const std::size_t from = first_[group(k, 0)], to = first_[group(k, 0) + 1];
        for (std::size_t i = from; i < to; ++i) {
          entries_.push_back(entries_[i]);
          polygons.push_back(polygons[i]);
        }
      } else {
        addEntries(k, polygons);
      }
      largestGroup_ = std::max(largestGroup_, static_cast<int>(entries_.size()) - first_[g]);
    }
  }
  first_.back() = static_cast<int>(entries_.size());
  if (stop != nullptr && stop->requested()) {
    // A stopped set-up leaves no counts open, as a table begun after the stop has none: the
    // search that asked for it ends at once, and finishing the entries made before the stop
    // would hold a thick laminate's stop for seconds.
    clearAfterStop();
    return;
  }
  if (support) cutAll(*support, polygons);
  std::size_t cornerTotal = 0;
  for (const Polygon& polygon : polygons) cornerTotal += polygon.count;
  corners_.assign(cornerTotal, BendingCorner{});
  BendingCorner* corners = corners_.data();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    finishEntry(entries_[i], polygons[i], blocks, corners);
    corners += polygons[i].count;
  }
}

void OpenCountTable::clearAfterStop() {
  entries_.clear();
  std::fill(first_.begin(), first_.end(), 0);
  largestGroup_ = 0;
  corners_.clear();
}

std::size_t OpenCountTable::entryCount() const {
  if (plyTotal_ == 0) return 1;
  std::size_t total = 0;
  for (int boundary = 0; boundary < boundaries_; ++boundary)
    for (int k = 0; k <= positions_; ++k) {
      if (boundary > 0 && !boundaryKept(k)) continue;
      const std::size_t open = std::max(0, ordinaryPositions() - k);
      const bool midOpen = plyTotal_ % 2 != 0 && k < positions_;
      total += (midOpen ? 3 : 1) * (open + 1) * (open + 2) / 2;
    }
  return total;
}

std::vector<double> OpenCountTable::bendingWeights() const {
  std::vector<double> weights(ordinaryPositions());
  for (int p = 1; p <= ordinaryPositions(); ++p) weights[p - 1] = cubes_[p - 1] - cubes_[p];
  return weights;
}

// Boundaries beyond none are kept for the short stretches near the mid-plane, where the last
// set run decides most: longer ones take the table of no boundary.
bool OpenCountTable::boundaryKept(int setCount) const {
  return setCount > 0 && positions_ - setCount <= boundedStretch_;
}

// Every group's entries cut by the stretches' reach, for each mid-plane code in turn.
void OpenCountTable::cutAll(const ArrangementSupport& support, std::vector<Polygon>& polygons) {
  const bool midPly = plyTotal_ % 2 != 0;
  const int firstMid = midPly ? 0 : -1;
  const int lastMid = midPly ? 2 : -1;
  const int directions = static_cast<int>(cutDirections().size()) / 2;
  for (int mid = firstMid; mid <= lastMid; ++mid) {
    support.run(mid, boundedStretch_, [&](int setCount, int boundary,
                                          const std::vector<double>& reach) {
      std::size_t first = first_[group(setCount, boundary)];
      const int open = ordinaryPositions() - setCount;
      const int perMid = (open + 1) * (open + 2) / 2;
      if (midPly) first += static_cast<std::size_t>(mid - firstMid) * perMid;
      for (int i = 0; i < perMid; ++i)
        cutCorners(entries_[first + i], &reach[static_cast<std::size_t>(i) * directions],
                   polygons[first + i]);
    });
  }
}

// The corners in their place, the boxes and the surface's terms, once the corners are final.
void OpenCountTable::finishEntry(CountEntry& entry, const Polygon& polygon,
                                 const LaminateBlocks& blocks, BendingCorner* corners) const {
  entry.cornerCount = polygon.count;
  entry.corners = corners;
  for (int i = 0; i < polygon.count; ++i) {
    corners[i].d[0] = polygon.corner[i][0];
    corners[i].d[1] = polygon.corner[i][1];
  }
  for (int c = 0; c < 2; ++c) {
    entry.bendingLow[c] = entry.bendingHigh[c] = polygon.corner[0][c];
    for (int i = 1; i < polygon.count; ++i) {
      entry.bendingLow[c] = std::min(entry.bendingLow[c], polygon.corner[i][c]);
      entry.bendingHigh[c] = std::max(entry.bendingHigh[c], polygon.corner[i][c]);
    }
  }
  entry.flat = std::fabs(doubledArea(polygon.corner, polygon.count)) < 1e-14;
  fillSurfaceTerms(entry, blocks, corners);
}

int OpenCountTable::boundaryOf(const StackingSequence& sequence) const {
  const int set = sequence.setCount();
  if (boundaries_ == 1 || !boundaryKept(set)) return 0;
  const int code = sequence.codeAt(set);
  if (code == kCode45 || code == kCodeMinus45) return 0;
  int run = 1;
  while (run < set && sequence.codeAt(set - run) == code) ++run;
  const int runStates = (boundaries_ - 1) / 2;
  return 1 + (code == kCode90 ? runStates : 0) + (std::min(run, runStates) - 1);
}

void OpenCountTable::addEntries(int setCount, std::vector<Polygon>& polygons) {
  if (plyTotal_ == 0) {  // a laminate without plies (a single laminate's absent stiffener)
    CountEntry nothingOpen;
    nothingOpen.setCount = setCount;
    entries_.push_back(nothingOpen);
    polygons.emplace_back().count = CountEntry::kBlockCorners;
    return;
  }
  const double halfPlies = plyTotal_ * 0.5;
  const bool midPly = plyTotal_ % 2 != 0;
  const int open = std::max(0, ordinaryPositions() - setCount);
  const bool midOpen = midPly && setCount < positions_;
  const int firstMid = midOpen ? 0 : -1;
  const int lastMid = midOpen ? 2 : -1;
  for (int mid = firstMid; mid <= lastMid; ++mid) {
    for (int n0 = 0; n0 <= open; ++n0) {
      for (int n45 = 0; n0 + n45 <= open; ++n45) {
        CountEntry& entry = entries_.emplace_back();
        entry.setCount = setCount;
        entry.count[0] = n0;
        entry.count[1] = n45;
        entry.count[2] = open - n0 - n45;
        entry.midCode = mid;
        for (int code = 0; code < 3; ++code)
          addCode(code, entry.count[code] / halfPlies, entry.inPlane);
        if (mid >= 0) addCode(mid, 1.0 / (2.0 * halfPlies), entry.inPlane);
        const double midBending = 1.0 / (8.0 * std::pow(halfPlies, 3.0));
        Polygon& polygon = polygons.emplace_back();
        setCorners(entry, setCount, polygon);
        for (int i = 0; i < CountEntry::kBlockCorners; ++i)
          if (mid >= 0) addCode(mid, midBending, polygon.corner[i]);
      }
    }
  }
}

}  // namespace kelm
