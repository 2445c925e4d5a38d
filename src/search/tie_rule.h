#pragma once

#include <cmath>
#include <utility>
#include <vector>

#include "search/search_constants.h"

namespace kelm {

// Whether a bound can still reach the best value within the tie tolerance. A bound that is not
// a number is kept.
inline bool canReach(double bound, double best) { return !(bound < best - kTieTolerance); }

// The best value so far and the designs that share it. Every driver enters its complete designs
// here, so that all searches agree on what ties.
template <typename Design>
class TiedBest {
 public:
  double best() const { return best_; }
  std::vector<Design>& designs() { return designs_; }
  const std::vector<Design>& designs() const { return designs_; }

  // A fresh start from `best` (a turn starts from its candidate's value), no design held.
  void restart(double best) {
    best_ = best;
    designs_.clear();
  }
  // A value found outside the list (the random start) raises the best without a design.
  void raise(double value) {
    if (value > best_) best_ = value;
  }

  // Within the tolerance of the best: joins the list. Strictly greater: replaces it.
  void enter(const Design& design, double value) {
    if (std::fabs(best_ - value) < kTieTolerance) {
      designs_.push_back(design);
    } else if (value > best_) {
      best_ = value;
      designs_.clear();
      designs_.push_back(design);
    }
  }

  // The selection of final results, where the band is closed: a value not below the best by
  // more than the tolerance stays, one above it by more replaces the list.
  void keepLargest(const Design& design, double value) {
    if (value < best_ - kTieTolerance) return;
    if (value > best_ + kTieTolerance) {
      designs_.clear();
      best_ = value;
    }
    designs_.push_back(design);
  }

 private:
  double best_ = 0.0;
  std::vector<Design> designs_;
};

}  // namespace kelm
