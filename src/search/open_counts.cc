#include "search/open_counts.h"

#include <algorithm>
#include <cmath>

#include "laminate/angle_code.h"
#include "laminate/stacking_sequence.h"
#include "numerics/small_algebra.h"

namespace kelm {

namespace {

// The six block orders, walking the hexagon's boundary: each differs from the one before by
// swapping two neighbouring blocks.
constexpr int kBlockOrders[CountEntry::kCorners][3] = {{0, 1, 2}, {1, 0, 2}, {1, 2, 0},
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

void fillSurfaceTerms(CountEntry& entry, const LaminateBlocks& blocks) {
  using namespace small;
  entry.inPlaneCurvature = halfForm(blocks.inPlane, entry.inPlane);
  const Mathmx bendingFromInPlane = blocks.coupling.transpose();
  matVec2(bendingFromInPlane.data(), entry.inPlane, entry.inPlaneIntoBending);
  for (int i = 0; i < CountEntry::kCorners; ++i) {
    const double* d = entry.corner[i];
    const double* next = entry.corner[(i + 1) % CountEntry::kCorners];
    const double edge[2] = {next[0] - d[0], next[1] - d[1]};
    double bd[2];
    matVec2(blocks.bending.data(), d, bd);
    entry.cornerCurvature[i] = 0.5 * dot2(d, bd);
    entry.edgeSlope[i] = dot2(bd, edge);
    entry.edgeCurvature[i] = quadraticForm2(blocks.bending.data(), edge);
  }
  entry.curvatureBound = boxCurvatureBound(entry, blocks.bending);
}

// Twice the signed area of the corners' polygon.
double doubledArea(const CountEntry& entry) {
  double area = 0.0;
  for (int i = 0; i < CountEntry::kCorners; ++i) {
    const double* p = entry.corner[i];
    const double* q = entry.corner[(i + 1) % CountEntry::kCorners];
    area += p[0] * q[1] - p[1] * q[0];
  }
  return area;
}

}  // namespace

void blockBendingIncrement(double halfPlies, int setCount, const int count[3], const int order[3],
                           double increment[2]) {
  increment[0] = increment[1] = 0.0;
  int depth = setCount;
  for (int block = 0; block < 3; ++block) {
    const int code = order[block];
    if (count[code] == 0) continue;
    const double weight = outerCube(halfPlies, depth) - outerCube(halfPlies, depth + count[code]);
    addCode(code, weight, increment);
    depth += count[code];
  }
}

namespace {

// The most plies of a run-limited code a stretch of `length` positions can hold.
int mostLimited(int length, int runLimit) { return length - length / (runLimit + 1); }

// The counts of each code among the first k of `open` positions that are largest in `order`:
// each code between what the limits leave it, the preferred codes filled first.
bool greedyPrefix(int k, int open, const int count[3], const int order[3], int runLimit,
                  int prefix[3]) {
  int low[3], high[3];
  int left = k;
  for (int code = 0; code < 3; ++code) {
    const bool limited = code != kCode45;
    high[code] = std::min(count[code], limited ? mostLimited(k, runLimit) : k);
    const int inner = limited ? mostLimited(open - k, runLimit) : open - k;
    low[code] = std::max(0, count[code] - inner);
    if (low[code] > high[code]) return false;
    prefix[code] = low[code];
    left -= low[code];
  }
  if (left < 0) return false;
  for (int i = 0; i < 3; ++i) {
    const int code = order[i];
    const int add = std::min(high[code] - low[code], left);
    prefix[code] += add;
    left -= add;
  }
  return left == 0;
}

}  // namespace

// Abel summation over the open ordinary positions: position j (from the outside) weighs
// w_j = outerCube(depth + j - 1) - outerCube(depth + j), and sum w_j c_j equals the sum over k of
// (w_k - w_(k+1)) times the prefix sum of the first k codes, with w_(open+1) = 0.
bool limitedBendingIncrement(double halfPlies, int setCount, const int count[3],
                             const int order[3], int runLimit, double increment[2]) {
  const int open = count[0] + count[1] + count[2];
  double sum[2] = {0.0, 0.0};
  auto weight = [&](int j) {
    return j > open ? 0.0
                    : outerCube(halfPlies, setCount + j - 1) - outerCube(halfPlies, setCount + j);
  };
  for (int k = 1; k <= open; ++k) {
    int prefix[3];
    if (!greedyPrefix(k, open, count, order, runLimit, prefix)) return false;
    const double step = weight(k) - weight(k + 1);
    for (int code = 0; code < 3; ++code) addCode(code, step * prefix[code], sum);
  }
  increment[0] = sum[0];
  increment[1] = sum[1];
  return true;
}

void OpenCountTable::setCorners(CountEntry& entry, int setCount) const {
  const double halfPlies = plyTotal_ * 0.5;
  bool limited = runLimit_ > 0;
  for (int i = 0; i < CountEntry::kCorners && limited; ++i)
    limited = limitedBendingIncrement(halfPlies, setCount, entry.count, kBlockOrders[i],
                                      runLimit_, entry.corner[i]);
  if (limited) return;
  for (int i = 0; i < CountEntry::kCorners; ++i)
    blockBendingIncrement(halfPlies, setCount, entry.count, kBlockOrders[i], entry.corner[i]);
}

void OpenCountTable::build(int plyTotal, const LaminateBlocks& blocks, int runLimit,
                           const StopRequest* stop) {
  runLimit_ = runLimit;
  plyTotal_ = plyTotal;
  positions_ = halfPositions(plyTotal);
  entries_.clear();
  first_.assign(positions_ + 2, 0);
  largestGroup_ = 0;
  for (int k = 0; k <= positions_; ++k) {
    first_[k] = static_cast<int>(entries_.size());
    if (stop != nullptr && stop->requested()) continue;
    addEntries(k, blocks);
    largestGroup_ = std::max(largestGroup_, static_cast<int>(entries_.size()) - first_[k]);
  }
  first_[positions_ + 1] = static_cast<int>(entries_.size());
}

void OpenCountTable::addEntries(int setCount, const LaminateBlocks& blocks) {
  if (plyTotal_ == 0) {  // a laminate without plies (a single laminate's absent stiffener)
    CountEntry nothingOpen;
    fillSurfaceTerms(nothingOpen, blocks);
    entries_.push_back(nothingOpen);
    return;
  }
  const double halfPlies = plyTotal_ * 0.5;
  const bool midPly = plyTotal_ % 2 != 0;
  const int ordinaryPositions = midPly ? positions_ - 1 : positions_;
  const int open = std::max(0, ordinaryPositions - setCount);
  const bool midOpen = midPly && setCount < positions_;
  const int firstMid = midOpen ? 0 : -1;
  const int lastMid = midOpen ? 2 : -1;
  for (int mid = firstMid; mid <= lastMid; ++mid) {
    for (int n0 = 0; n0 <= open; ++n0) {
      for (int n45 = 0; n0 + n45 <= open; ++n45) {
        CountEntry entry;
        entry.count[0] = n0;
        entry.count[1] = n45;
        entry.count[2] = open - n0 - n45;
        entry.midCode = mid;
        for (int code = 0; code < 3; ++code)
          addCode(code, entry.count[code] / halfPlies, entry.inPlane);
        if (mid >= 0) addCode(mid, 1.0 / (2.0 * halfPlies), entry.inPlane);
        const double midBending = 1.0 / (8.0 * std::pow(halfPlies, 3.0));
        setCorners(entry, setCount);
        for (int i = 0; i < CountEntry::kCorners; ++i)
          if (mid >= 0) addCode(mid, midBending, entry.corner[i]);
        for (int c = 0; c < 2; ++c) {
          entry.bendingLow[c] = entry.bendingHigh[c] = entry.corner[0][c];
          for (const auto& corner : entry.corner) {
            entry.bendingLow[c] = std::min(entry.bendingLow[c], corner[c]);
            entry.bendingHigh[c] = std::max(entry.bendingHigh[c], corner[c]);
          }
        }
        entry.flat = std::fabs(doubledArea(entry)) < 1e-14;
        fillSurfaceTerms(entry, blocks);
        entries_.push_back(entry);
      }
    }
  }
}

}  // namespace kelm
