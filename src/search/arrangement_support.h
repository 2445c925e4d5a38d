#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "laminate/ply_arrangement.h"

namespace kelm {

// How far the open positions of a laminate can really push its bending increment in given
// directions u, once the arrangement rules (run limit, no cross-ply jump, +-45 outermost) are
// kept: the largest u . d over every arrangement of a count's codes in the open ordinary
// positions, for every number of set positions and every count at once.
//
// Found by dynamic programming from the innermost position outward: the state of a stretch is
// its codes' counts, the code of its outermost position and the run of that code from there
// inward. The mid-plane ply of an odd total is the stretch's innermost neighbour (its own share
// is not counted). The run in progress at the set positions' edge is given by the caller as a
// boundary: nothing (no position set, or a +-45 deg one last), or the last set code and its
// run. Halves of fewer than three positions are not judged by the run limit.
class ArrangementSupport {
 public:
  // `weights`: the bending weight of each ordinary position, outermost first; `positions`: the
  // half's positions (with the mid-plane ply of an odd total); `directions`: pairs (u0, u1).
  ArrangementSupport(std::vector<double> weights, int positions, const Arrangement& rules,
                     std::vector<double> directions);

  // The boundaries a table is built for: 0 for none, then each limited code's runs.
  int boundaryCount() const { return 1 + 2 * runStates(); }
  // The boundary after a last set position of `code` whose run is `run` positions long.
  int boundaryOf(int code, int run) const {
    return stateOf(code, std::min(std::max(run, 1), runStates()));
  }

  // For each number of set positions (innermost stretch first) and each boundary, `reached`
  // gets the stretch's values: reach[(count index) * directions + j], the count index in the
  // order of a table's entries (n0 outer, n45 inner), -infinity where no arrangement keeps the
  // rules. `mid`: the mid-plane ply's code, -1 for an even total. Boundaries other than none
  // are given for stretches of at most `boundedStretch` positions.
  using Reached = std::function<void(int setCount, int boundary, const std::vector<double>& reach)>;
  void run(int mid, int boundedStretch, const Reached& reached) const;

 private:
  int runStates() const { return runLimit_ > 0 ? runLimit_ : 1; }
  int stateOf(int code, int run) const;
  void extend(int length, const std::vector<double>& inner, std::vector<double>& outer,
              bool midPly) const;
  void reduce(int length, int boundary, const std::vector<double>& stretch,
              std::vector<double>& reach, bool midPly) const;

  std::vector<double> weights_;
  std::vector<double> directions_;
  std::vector<double> scores_;  // u . (code's bending pair): [code * directions + j]
  int directionCount_ = 0;
  Arrangement rules_;
  int ordinary_ = 0;
  int runLimit_ = 0;        // longest run of 0 or 90 deg positions (0: none judged)
  int innermostLimit_ = 0;  // the same for the run that reaches the mid-plane
};

}  // namespace kelm
