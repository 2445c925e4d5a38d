#pragma once

#include <cstdint>
#include <vector>

#include "search/laminate_count_scan.h"

namespace kelm {

// A laminate's kept counts grouped into cells of neighbouring counts: the counts of 0 deg and
// +-45 deg plies each within one stretch of `width`, and the same mid-plane code. Neighbouring
// counts add nearly the same in-plane increment and overlapping bending polygons, so a cell's
// box of increments is small, and the coupling of a count (or of another cell) with it bounds
// every pair of the cell nearly as well as the pairs' own bounds: a pair scan of thick
// laminates, whose nodes keep thousands of counts, reads cells first and pairs only in the
// cells that can still reach the best value.
class CountCells {
 public:
  using Candidate = LaminateCountScan::Candidate;
  using Box = LaminateCountScan::Box;

  // Groups `sorted` (largest own part first, as LaminateCountScan::sortedAbove() leaves them).
  // Cells are numbered in falling order of their largest own part, and each cell's counts stay
  // in the order of `sorted`. The storage is kept between calls: no allocation once warm.
  void group(const std::vector<const Candidate*>& sorted);

  int cellCount() const { return static_cast<int>(tops_.size()); }
  // The cell of the count at place `rank` of the sorted list.
  int cellOf(int rank) const { return cellOfRank_[rank]; }
  // A cell's largest own part, its box of increments, and its counts (largest first).
  double top(int cell) const { return tops_[cell]; }
  const Box& box(int cell) const { return boxes_[cell]; }
  const Candidate* const* begin(int cell) const { return members_.data() + first_[cell]; }
  const Candidate* const* end(int cell) const { return members_.data() + first_[cell + 1]; }

 private:
  int widthFor(std::size_t counts, int openPositions) const;

  std::vector<int> cellOfRank_;
  std::vector<double> tops_;
  std::vector<Box> boxes_;
  std::vector<const Candidate*> members_;
  std::vector<int> first_;
  std::vector<int> cellAt_;  // grid place -> cell, -1 where none (reset after each grouping)
};

}  // namespace kelm
