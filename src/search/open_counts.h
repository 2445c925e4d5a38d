#pragma once

#include <vector>

#include "base/stop_request.h"
#include "numerics/mathmx.h"

namespace kelm {

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
// Under a run limit L on 0 and 90 deg plies the blocks of those codes cannot be laid, and the
// corners come closer: any stretch of k outer open positions holds at most k - floor(k / (L+1))
// plies of a limited code, and at least what the inner stretch cannot hold. Written by Abel
// summation, a linear function of the bending increment is a sum of the prefix sums with the
// non-negative weight differences of neighbouring positions; each prefix is largest for the
// counts a greedy choice in the function's order of codes gives under those limits. So the
// increments of every allowed arrangement lie in the hexagon of these six greedy corners, the
// block corners when nothing limits the runs.
struct CountEntry {
  static constexpr int kCorners = 6;
  int count[3] = {0, 0, 0};  // open ordinary positions of code 0, 1 (+-45), 2 (90)
  int midCode = -1;          // the open mid-plane ply's code, or -1 when it is set or absent
  double inPlane[2] = {0.0, 0.0};
  double corner[kCorners][2] = {};  // bending increment of each block arrangement
  double bendingLow[2] = {0.0, 0.0};
  double bendingHigh[2] = {0.0, 0.0};
  bool flat = true;  // the corners span no area (a point or a segment)

  // Parts of the laminate's own quadratic terms that depend on the entry alone, filled for one
  // surface: with A the in-plane block, C the in-plane/bending block and D the bending block,
  // half a A a, the bending gradient C^T a the in-plane increment adds, half d D d at each
  // corner, (D d_i) . e_i and e_i D e_i along each edge e_i = d_(i+1) - d_i.
  double inPlaneCurvature = 0.0;
  double inPlaneIntoBending[2] = {0.0, 0.0};
  double cornerCurvature[kCorners] = {};
  double edgeSlope[kCorners] = {};
  double edgeCurvature[kCorners] = {};
  // At least half d D d anywhere in the box of the corners: with the box's bound of the linear
  // part, a cheap upper bound of the hexagon's maximum.
  double curvatureBound = 0.0;

  int codeCount(int code) const { return count[code] + (midCode == code ? 1 : 0); }
};

// A laminate's quadratic blocks as the entries use them.
struct LaminateBlocks {
  const Mathmx& inPlane;   // A
  const Mathmx& coupling;  // C: in-plane rows, bending columns
  const Mathmx& bending;   // D
};

// Every entry of a laminate of `plyTotal` plies, for each number of set positions.
class OpenCountTable {
 public:
  // `runLimit`: the longest run of 0 or 90 deg positions the rules allow (0: none). Long
  // laminates take a while; a stop request ends it between two set counts, the later groups
  // left empty (a search stopped in its set-up searches no further).
  void build(int plyTotal, const LaminateBlocks& blocks, int runLimit = 0,
             const StopRequest* stop = nullptr);

  const CountEntry* begin(int setCount) const { return entries_.data() + first_[setCount]; }
  const CountEntry* end(int setCount) const { return entries_.data() + first_[setCount + 1]; }
  int positions() const { return positions_; }
  int largestGroup() const { return largestGroup_; }

 private:
  void addEntries(int setCount, const LaminateBlocks& blocks);
  void setCorners(CountEntry& entry, int setCount) const;

  int plyTotal_ = 0;
  int positions_ = 0;
  int largestGroup_ = 0;
  int runLimit_ = 0;
  std::vector<CountEntry> entries_;
  std::vector<int> first_;  // entries of set count k: [first_[k], first_[k + 1])
};

// The block arrangement of counts `count` in code order `order`, filling open ordinary
// positions setCount + 1 on of a laminate of half thickness `halfPlies`: its bending increment.
void blockBendingIncrement(double halfPlies, int setCount, const int count[3], const int order[3],
                           double increment[2]);
// The greedy corner of counts `count` in code order `order` under run limit `runLimit` (see
// above). False, with nothing written, when no arrangement of the counts keeps the limit.
bool limitedBendingIncrement(double halfPlies, int setCount, const int count[3],
                             const int order[3], int runLimit, double increment[2]);

}  // namespace kelm
