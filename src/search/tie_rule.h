#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <iterator>
#include <numeric>
#include <utility>
#include <vector>

#include "search/search_constants.h"

namespace kelm {

// Whether a bound can still reach the best value within the tie tolerance. A bound that is not
// a number is kept.
inline bool canReach(double bound, double best) { return !(bound < best - kTieTolerance); }

// The best value so far and the designs that share it. Every driver enters its complete designs
// here, so that all searches agree on what ties.
//
// Asked for the K best designs instead (keepTop), it holds every design whose value is not below
// the K-th largest value held by more than the tie tolerance, so that ties at the K-th value are
// all kept; best() is then that K-th value, the floor a bound must reach (0.0, as for the best
// alone, until K designs are held). What it holds in the end does not depend on the order the
// designs came in, and each design must come once.
template <typename Design>
class TiedBest {
 public:
  double best() const { return best_; }
  void keepTop(int k) { top_ = static_cast<std::size_t>(std::max(0, k)); }
  int top() const { return static_cast<int>(top_); }
  std::vector<Design>& designs() { return designs_; }
  const std::vector<Design>& designs() const { return designs_; }

  // A fresh start from `best` (a turn starts from its candidate's value), no design held.
  void restart(double best) {
    best_ = best;
    designs_.clear();
    values_.clear();
  }
  // A value found outside the list (the random start) raises the best without a design. One
  // design's value is no floor for the K best, so it is passed over then.
  void raise(double value) {
    if (value > best_ && top_ == 0) best_ = value;
  }

  // Within the tolerance of the best: joins the list. Strictly greater: replaces it.
  void enter(const Design& design, double value) {
    if (top_ > 0) {
      enterRanked(design, value);
    } else if (std::fabs(best_ - value) < kTieTolerance) {
      designs_.push_back(design);
    } else if (value > best_) {
      best_ = value;
      designs_.clear();
      designs_.push_back(design);
    }
  }

  // The selection of final results, where the band is closed: a value not below the best by
  // more than the tolerance stays, one above it by more replaces the list.
  // The K best in falling value; equal values in the order `before` gives (a strict order of
  // designs, so that the list does not depend on the order they were found in).
  template <typename Before>
  void rank(Before before) {
    std::vector<std::size_t> order(designs_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      if (values_[a] != values_[b]) return values_[a] > values_[b];
      return before(designs_[a], designs_[b]);
    });
    std::vector<Design> designs;
    std::vector<double> values;
    for (const std::size_t i : order) {
      designs.push_back(std::move(designs_[i]));
      values.push_back(values_[i]);
    }
    designs_ = std::move(designs);
    values_ = std::move(values);
  }

  void keepLargest(const Design& design, double value) {
    if (value < best_ - kTieTolerance) return;
    if (value > best_ + kTieTolerance) {
      designs_.clear();
      best_ = value;
    }
    designs_.push_back(design);
  }

  // Which of `values`, offered after what is held (one by one, as keepLargest would take them),
  // the closed band keeps; a value whose `passed` is set is not offered. Marks those kept
  // (`kept`, one per value) and drops what a larger value replaces; returns whether a larger
  // value replaced the list held before. Only values are read, so that a stopped search can
  // select among millions of tied designs without copying one of them.
  bool markLargest(const std::vector<double>& values, const std::vector<char>& passed,
                   std::vector<char>& kept) {
    bool replaced = false;
    std::size_t from = 0;  // the marks before a replacement are void
    kept.assign(values.size(), 0);
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (passed[i] || values[i] < best_ - kTieTolerance) continue;
      if (values[i] > best_ + kTieTolerance) {
        best_ = values[i];
        std::fill(kept.begin() + static_cast<std::ptrdiff_t>(from), kept.begin() + static_cast<std::ptrdiff_t>(i), 0);
        from = i;
        replaced = true;
      }
      kept[i] = 1;
    }
    if (replaced) designs_.clear();
    return replaced;
  }
  // Takes a list of designs after those held. The longer list keeps its storage: the few held
  // move into the spare room at the front of millions rather than millions into new memory.
  void append(std::vector<Design>&& designs) {
    if (designs_.size() <= designs.size()) {
      designs.insert(designs.begin(), std::make_move_iterator(designs_.begin()),
                     std::make_move_iterator(designs_.end()));
      designs_ = std::move(designs);
    } else {
      designs_.insert(designs_.end(), std::make_move_iterator(designs.begin()),
                      std::make_move_iterator(designs.end()));
    }
  }

 private:
  // Joins when not below the floor by more than the tolerance; once K are held, the floor rises
  // to the K-th largest value and what falls below it leaves.
  void enterRanked(const Design& design, double value) {
    if (value < best_ - kTieTolerance) return;
    designs_.push_back(design);
    values_.push_back(value);
    if (designs_.size() < top_) return;
    scratch_ = values_;
    std::nth_element(scratch_.begin(), scratch_.begin() + (top_ - 1), scratch_.end(),
                     std::greater<double>());
    if (!(scratch_[top_ - 1] > best_)) return;
    best_ = scratch_[top_ - 1];
    std::size_t kept = 0;
    for (std::size_t i = 0; i < designs_.size(); ++i) {
      if (values_[i] < best_ - kTieTolerance) continue;
      if (kept != i) {
        designs_[kept] = std::move(designs_[i]);
        values_[kept] = values_[i];
      }
      ++kept;
    }
    designs_.erase(designs_.begin() + static_cast<std::ptrdiff_t>(kept), designs_.end());
    values_.resize(kept);
  }

  double best_ = 0.0;
  std::vector<Design> designs_;
  std::size_t top_ = 0;          // 0: the best and its ties
  std::vector<double> values_;   // the K best's values, beside their designs
  std::vector<double> scratch_;  // reused for the K-th value
};

}  // namespace kelm
