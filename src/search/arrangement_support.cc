#include "search/arrangement_support.h"

#include <algorithm>
#include <limits>

#include "laminate/angle_code.h"

namespace kelm {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// Counts (n0, n45) of a stretch of `length` positions, in the order of a table's entries.
int countIndex(int length, int n0, int n45) { return n0 * (length + 1) - n0 * (n0 - 1) / 2 + n45; }
int triangle(int length) { return (length + 1) * (length + 2) / 2; }

bool crossPlyJump(int a, int b) {
  return (a == kCode0 && b == kCode90) || (a == kCode90 && b == kCode0);
}

}  // namespace

ArrangementSupport::ArrangementSupport(std::vector<double> weights, int positions,
                                       const Arrangement& rules, std::vector<double> directions)
    : weights_(std::move(weights)), directions_(std::move(directions)), rules_(rules) {
  ordinary_ = static_cast<int>(weights_.size());
  directionCount_ = static_cast<int>(directions_.size()) / 2;
  const bool judged = rules.runLimit > 0 && positions >= 3;
  runLimit_ = judged ? rules.runLimit : 0;
  innermostLimit_ = judged ? rules.runLimit / 2 : 0;
  const CodeCosines& cosines = codeCosines();
  scores_.resize(3 * directionCount_);
  for (int code = 0; code < 3; ++code)
    for (int j = 0; j < directionCount_; ++j)
      scores_[code * directionCount_ + j] =
          directions_[2 * j] * cosines.cos2[code] + directions_[2 * j + 1] * cosines.cos4[code];
}

// State of a stretch: 0 when its outermost position is +-45 deg (or, for the empty stretch of
// an even total, when there is none), else that position's code and the run of it from there
// inward (1 .. runStates(); one state per code when no run limit is judged).
int ArrangementSupport::stateOf(int code, int run) const {
  return code == kCode45 ? 0 : 1 + (code == kCode90 ? runStates() : 0) + (run - 1);
}

void ArrangementSupport::run(int mid, int boundedStretch, const Reached& reached) const {
  const int states = 1 + 2 * runStates();
  const int k = directionCount_;
  const bool midPly = mid >= 0;
  std::vector<double> inner(static_cast<std::size_t>(states) * k, kMinusInfinity);
  std::fill_n(inner.begin() + static_cast<std::size_t>(midPly ? stateOf(mid, 1) : 0) * k, k, 0.0);
  std::vector<double> outer, reach;
  for (int length = 1; length <= ordinary_; ++length) {
    extend(length, inner, outer, midPly);
    const int boundaries = length <= boundedStretch && length < ordinary_ ? boundaryCount() : 1;
    for (int boundary = 0; boundary < boundaries; ++boundary) {
      reduce(length, boundary, outer, reach, midPly);
      reached(ordinary_ - length, boundary, reach);
    }
    std::swap(inner, outer);
  }
}

// The stretch of `length` positions from the one of length - 1 inside it: each code on top.
// A run that reaches the innermost position (the mid-plane ply's run, when there is one) may
// hold half the limit.
void ArrangementSupport::extend(int length, const std::vector<double>& inner,
                                std::vector<double>& outer, bool midPly) const {
  const int states = 1 + 2 * runStates();
  const int k = directionCount_;
  const int innerLength = length - 1;
  const double weight = weights_[ordinary_ - length];
  outer.assign(static_cast<std::size_t>(triangle(length)) * states * k, kMinusInfinity);
  for (int n0 = 0; n0 <= innerLength; ++n0)
    for (int n45 = 0; n0 + n45 <= innerLength; ++n45)
      for (int s = 0; s < states; ++s) {
        const double* from = &inner[(countIndex(innerLength, n0, n45) * states + s) * k];
        if (from[0] == kMinusInfinity) continue;
        const int below = s == 0 ? kCode45 : s <= runStates() ? kCode0 : kCode90;
        const int run = s == 0 ? 0 : (s - 1) % runStates() + 1;
        for (int code = 0; code < 3; ++code) {
          if (rules_.noCrossPlyJump && crossPlyJump(code, below)) continue;
          int newRun = 1;
          if (code != kCode45 && runLimit_ > 0) {
            const bool continues = code == below;
            newRun = continues ? run + 1 : 1;
            const bool reaches =
                continues ? run == innerLength + (midPly ? 1 : 0) : innerLength == 0 && !midPly;
            if (newRun > (reaches ? innermostLimit_ : runLimit_)) continue;
          }
          const int a = n0 + (code == kCode0 ? 1 : 0);
          const int b = n45 + (code == kCode45 ? 1 : 0);
          double* to = &outer[(countIndex(length, a, b) * states + stateOf(code, newRun)) * k];
          const double* score = &scores_[code * k];
          for (int j = 0; j < k; ++j) to[j] = std::max(to[j], from[j] + weight * score[j]);
        }
      }
}

// The stretch's values after a boundary: the largest over the states it may follow. After the
// last set code b with its run, the stretch may not start with a cross-ply jump from b, nor
// carry b's run past the limit.
void ArrangementSupport::reduce(int length, int boundary, const std::vector<double>& stretch,
                                std::vector<double>& reach, bool midPly) const {
  const int states = 1 + 2 * runStates();
  const int k = directionCount_;
  const int counts = triangle(length);
  const bool outermost = length == ordinary_ && rules_.outer45;
  const int edgeCode = boundary == 0 ? kCode45 : boundary <= runStates() ? kCode0 : kCode90;
  const int edgeRun = boundary == 0 ? 0 : (boundary - 1) % runStates() + 1;
  reach.assign(static_cast<std::size_t>(counts) * k, kMinusInfinity);
  for (int i = 0; i < counts; ++i)
    for (int s = 0; s < states; ++s) {
      if (outermost && s != 0) continue;
      const int code = s == 0 ? kCode45 : s <= runStates() ? kCode0 : kCode90;
      const int run = s == 0 ? 0 : (s - 1) % runStates() + 1;
      if (rules_.noCrossPlyJump && crossPlyJump(code, edgeCode)) continue;
      if (runLimit_ > 0 && code != kCode45 && code == edgeCode) {
        const bool reaches = run == length + (midPly ? 1 : 0);
        if (edgeRun + run > (reaches ? innermostLimit_ : runLimit_)) continue;
      }
      const double* from = &stretch[(static_cast<std::size_t>(i) * states + s) * k];
      double* to = &reach[static_cast<std::size_t>(i) * k];
      for (int j = 0; j < k; ++j) to[j] = std::max(to[j], from[j]);
    }
}

}  // namespace kelm
