#pragma once

#include <algorithm>
#include <vector>

#include "base/stop_request.h"
#include "laminate/stacking_sequence.h"
#include "laminate/ply_arrangement.h"
#include "search/arrangement_support.h"
#include "numerics/mathmx.h"

namespace kelm {

// One corner of an entry's polygon, with the surface's terms there and along the edge to the
// next corner (see CountEntry).
struct BendingCorner {
  double d[2] = {0.0, 0.0};  // the bending increment
  double curvature = 0.0;    // half d D d
  double slope = 0.0;        // (D d) . e, e the edge to the next corner
  double edgeCurvature = 0.0;  // e D e
};

// What the open positions of one laminate can add to its lamination parameters, given only how
// many of them take each code. With counts N = (n0, n45, n90) of codes in the open ordinary
// positions the in-plane increment is exact (every ordinary position weighs 1/H in-plane).
// The bending weights decrease strictly inward, so every linear function of the bending
// increment is largest for an arrangement that keeps each code together in one block: the
// reachable bending increments lie in the hexagon of the six block arrangements, walked in the
// order 0-45-90, 45-0-90, 45-90-0, 90-45-0, 90-0-45, 0-90-45 (each a swap of the last's
// neighbours). The mid-plane ply of an odd total weighs differently in both and is taken apart:
// each entry fixes its code.
//
// Under arrangement rules (run limits, no cross-ply jump, +-45 outermost) the blocks may not be
// laid, and the hexagon is cut by the lines of the exact largest u . d over the allowed
// arrangements in the six directions u where two codes tie (see ArrangementSupport), whose
// lines hold the hexagon's edges when nothing limits the arrangement. What is left is a convex
// polygon of at most kMaxCorners corners that still holds every allowed arrangement's
// increment, close to them where the rules keep the codes apart. (Directions between the ties,
// and greedy corners that bound each code order under a run limit, were tried: they cut
// nothing more.)
struct CountEntry {
  static constexpr int kBlockCorners = 6;
  static constexpr int kMaxCorners = 12;
  // What every scan of a node reads first, together: the counts, whether they are allowed, the
  // in-plane increment, the bending box and the cheap bound's terms.
  int count[3] = {0, 0, 0};  // open ordinary positions of code 0, 1 (+-45), 2 (90)
  int midCode = -1;          // the open mid-plane ply's code, or -1 when it is set or absent
  int setCount = 0;          // set positions before the open ones
  int cornerCount = kBlockCorners;
  bool reachable = true;     // some arrangement of the counts keeps the arrangement rules
  bool flat = true;          // the corners span no area (a point or a segment)
  double inPlane[2] = {0.0, 0.0};
  double bendingLow[2] = {0.0, 0.0};
  double bendingHigh[2] = {0.0, 0.0};

  // Parts of the laminate's own quadratic terms that depend on the entry alone, filled for one
  // surface: with A the in-plane block, C the in-plane/bending block and D the bending block,
  // half a A a, the bending gradient C^T a the in-plane increment adds, and in each corner half
  // d D d, (D d_i) . e_i and e_i D e_i along each edge e_i = d_(i+1) - d_i.
  double inPlaneCurvature = 0.0;
  double inPlaneIntoBending[2] = {0.0, 0.0};
  // At least half d D d anywhere in the box of the corners: with the box's bound of the linear
  // part, a cheap upper bound of the polygon's maximum.
  double curvatureBound = 0.0;
  // The polygon's corners, walked along its boundary, kept by the table apart from the entries
  // (most entries have six: the entries stay small for the scans that read every one).
  const BendingCorner* corners = nullptr;

  int codeCount(int code) const { return count[code] + (midCode == code ? 1 : 0); }
};

// The largest c . d over an entry's polygon: at a corner. (The hexagon's six corners, which
// most entries keep, in a loop the compiler knows the length of.)
inline double cornerMax(const CountEntry& e, const double c[2]) {
  auto at = [&](int i) { return c[0] * e.corners[i].d[0] + c[1] * e.corners[i].d[1]; };
  double largest = at(0);
  if (e.cornerCount == CountEntry::kBlockCorners) {
    for (int i = 1; i < CountEntry::kBlockCorners; ++i) largest = std::max(largest, at(i));
  } else {
    for (int i = 1; i < e.cornerCount; ++i) largest = std::max(largest, at(i));
  }
  return largest;
}

// A laminate's quadratic blocks as the entries use them.
struct LaminateBlocks {
  const Mathmx& inPlane;   // A
  const Mathmx& coupling;  // C: in-plane rows, bending columns
  const Mathmx& bending;   // D
};

// Every entry of a laminate of `plyTotal` plies, for each number of set positions. Under
// arrangement rules, the entries of short open stretches are also kept for each boundary: the
// last set code and its run (see ArrangementSupport), which the stretch must continue within
// the rules.
class OpenCountTable {
 public:
  OpenCountTable() = default;
  // The entries point into the table's own corners: a table moves, it is never copied.
  OpenCountTable(const OpenCountTable&) = delete;
  OpenCountTable& operator=(const OpenCountTable&) = delete;
  OpenCountTable(OpenCountTable&&) = default;
  OpenCountTable& operator=(OpenCountTable&&) = default;

  // The longest open stretch whose entries are kept for each boundary, by default.
  static constexpr int kBoundedStretch = 32;

  // `rules`: the arrangement rules every completion keeps (none by default); `boundedStretch`:
  // the longest open stretch kept for each boundary (0: none; each boundary multiplies the
  // table of those stretches). Long laminates take a while; a stop request ends it between two
  // set counts, the later groups left empty (a search stopped in its set-up searches no further).
  void build(int plyTotal, const LaminateBlocks& blocks, const Arrangement& rules = {},
             const StopRequest* stop = nullptr, int boundedStretch = kBoundedStretch);

  const CountEntry* begin(int setCount, int boundary = 0) const {
    return entries_.data() + first_[group(setCount, boundary)];
  }
  const CountEntry* end(int setCount, int boundary = 0) const {
    return entries_.data() + first_[group(setCount, boundary) + 1];
  }
  // The boundary whose entries serve a sequence's open positions (0 where none is kept).
  int boundaryOf(const StackingSequence& sequence) const;
  int positions() const { return positions_; }
  int largestGroup() const { return largestGroup_; }

 private:
  std::size_t group(int setCount, int boundary) const {
    return static_cast<std::size_t>(boundary) * (positions_ + 1) + setCount;
  }
  int ordinaryPositions() const { return plyTotal_ % 2 != 0 ? positions_ - 1 : positions_; }
  bool boundaryKept(int setCount) const;
  std::vector<double> bendingWeights() const;
  std::size_t entryCount() const;
  void clearAfterStop();
  // An entry's polygon while the table is built.
  struct Polygon {
    int count = 0;
    double corner[CountEntry::kMaxCorners][2] = {};
  };
  void addEntries(int setCount, std::vector<Polygon>& polygons);
  void setCorners(const CountEntry& entry, int setCount, Polygon& polygon) const;
  void cutAll(const ArrangementSupport& support, std::vector<Polygon>& polygons);
  void cutCorners(CountEntry& entry, const double* reach, Polygon& polygon) const;
  void finishEntry(CountEntry& entry, const Polygon& polygon, const LaminateBlocks& blocks,
                   BendingCorner* corners) const;

  int plyTotal_ = 0;
  int positions_ = 0;
  int largestGroup_ = 0;
  int boundaries_ = 1;
  int boundedStretch_ = kBoundedStretch;
  std::vector<double> cubes_;  // the share of the bending stiffness outside each depth
  std::vector<CountEntry> entries_;
  std::vector<BendingCorner> corners_;  // every entry's corners, in the entries' order
  std::vector<int> first_;  // entries of group g: [first_[g], first_[g + 1])
};

// The block arrangement of counts `count` in code order `order`, filling open ordinary
// positions setCount + 1 on of a laminate: its bending increment.
// `cubes[p]`: the share of the bending stiffness outside depth p.
void blockBendingIncrement(const std::vector<double>& cubes, int setCount, const int count[3],
                           const int order[3], double increment[2]);
}  // namespace kelm
