#include "alt/count_cells.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelm {

namespace {

// About this many cells for every square root of the counts: a row of the pair scan then reads
// some tens of cells where it read thousands of pairs, and a cell passed holds a few tens.
constexpr double kCellsPerRootOfCounts = 2.0;
constexpr int kMidCodes = 4;  // no open mid-plane ply, or its code 0, 1, 2

}  // namespace

// Cells of about (open / width)^2 / 2 grid places over the (n0, n45) triangle, enough for the
// wanted number of cells.
int CountCells::widthFor(std::size_t counts, int openPositions) const {
  const double wanted = kCellsPerRootOfCounts * std::sqrt(static_cast<double>(counts));
  const double width = openPositions / std::sqrt(2.0 * wanted);
  return std::max(1, static_cast<int>(std::ceil(width)));
}

void CountCells::group(const std::vector<const Candidate*>& sorted) {
  tops_.clear();
  boxes_.clear();
  cellOfRank_.resize(sorted.size());
  if (sorted.empty()) {
    first_.assign(1, 0);
    members_.clear();
    return;
  }
  const int* count = sorted.front()->entry->count;
  const int open = count[0] + count[1] + count[2];
  const int width = widthFor(sorted.size(), open);
  const int side = open / width + 1;
  const std::size_t places = static_cast<std::size_t>(side) * side * kMidCodes;
  if (cellAt_.size() < places) cellAt_.resize(places, -1);
  auto placeOf = [&](const Candidate* c) {
    const CountEntry& e = *c->entry;
    return (static_cast<std::size_t>(e.count[0] / width) * side + e.count[1] / width) *
               kMidCodes +
           (e.midCode + 1);
  };
  for (std::size_t rank = 0; rank < sorted.size(); ++rank) {
    const CountEntry& e = *sorted[rank]->entry;
    int& cell = cellAt_[placeOf(sorted[rank])];
    if (cell < 0) {  // the first count of a cell is its largest
      cell = static_cast<int>(tops_.size());
      tops_.push_back(sorted[rank]->value);
      boxes_.emplace_back();
      boxes_.back().clear();
    }
    boxes_[cell].widen(e);
    cellOfRank_[rank] = cell;
  }
  // Counts of each cell, in the sorted order, by their places (a counting sort).
  first_.assign(tops_.size() + 1, 0);
  for (std::size_t rank = 0; rank < sorted.size(); ++rank) ++first_[cellOfRank_[rank] + 1];
  for (std::size_t c = 0; c < tops_.size(); ++c) first_[c + 1] += first_[c];
  members_.resize(sorted.size());
  for (std::size_t rank = 0; rank < sorted.size(); ++rank) {
    const int cell = cellOfRank_[rank];
    members_[first_[cell]++] = sorted[rank];
  }
  for (std::size_t c = tops_.size(); c > 0; --c) first_[c] = first_[c - 1];
  first_[0] = 0;
  for (const Candidate* c : sorted) cellAt_[placeOf(c)] = -1;  // the grid clean for the next
}

}  // namespace kelm
