#pragma once

#include <cstdint>
#include <vector>

#include "alt/count_coupled_bound.h"

namespace kelm {

// Where failure modes meet, each mode's bound keeps the counts of codes (of each laminate) with
// which it can still reach the best value, and the modes keep different ones: the counts that
// carry the strain are not those that carry the buckling. A completion whose smallest value
// reaches the best has counts every mode keeps, so each mode's bound is taken again over the
// counts all of them keep, whose boxes are smaller and couplings sharper; its counts narrow in
// turn, until no mode drops a count or one keeps none. (No weighting of the modes can do this:
// a convex combination sums their values over one set of counts.) Any bound of the smallest
// value joins as a mode: the means of the surfaces and the convex combinations a trade-off walk
// tried on the design keep counts as the modes do.
class SharedCounts {
 public:
  // One mode's bound, evaluated on the design and leaving it open, and the value its
  // completions must reach: the best value, or a required surface's limit.
  struct Mode {
    CountCoupledBound* bound;
    double floor;
    bool objective;  // its bound is also a bound of the design's key
  };

  void setPositions(int skinPositions, int stiffenerPositions);
  // Whether the modes' shared counts leave the design open; `key` is lowered to the smallest
  // narrowed bound of an objective mode.
  bool allow(const std::vector<Mode>& modes, double& key);

 private:
  static constexpr int kLaminates = 2;
  std::size_t markOf(int laminate, const CountEntry& entry) const;
  // Marks the counts every mode keeps; returns how many there are.
  std::size_t markShared(int laminate, const std::vector<Mode>& modes);
  // Marks the counts one mode keeps as the shared ones (after it was narrowed to them).
  std::size_t markKept(int laminate, const CountCoupledBound& bound);
  bool isShared(int laminate, const CountEntry& entry) const {
    return marks_[laminate][markOf(laminate, entry)] == sharedMark_[laminate];
  }

  int stride_[kLaminates] = {};
  std::vector<std::uint32_t> marks_[kLaminates];  // the last mode that kept each count
  std::uint32_t sharedMark_[kLaminates] = {};     // the mark of a count every mode kept
};

}  // namespace kelm
