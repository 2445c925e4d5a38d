#pragma once

#include <queue>
#include <set>
#include <vector>

namespace kelm {

// The count vectors of a structure (one allowed total per panel) in order of increasing
// weight, lightest first; equal weights in the order of their totals. Each panel's options are
// its allowed totals with their weights, ascending. A vector is reached from its lighter
// neighbours (one panel one option lower), so each one comes out once.
class CountVectorQueue {
 public:
  explicit CountVectorQueue(std::vector<std::vector<double>> optionWeights);

  // The next vector (option index per panel) and its weight; false when none is left.
  bool next(std::vector<int>& options, double& weight);

 private:
  double weightOf(const std::vector<int>& options) const;
  void push(std::vector<int> options);

  std::vector<std::vector<double>> weights_;
  using Entry = std::pair<double, std::vector<int>>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open_;
  std::set<std::vector<int>> seen_;
};

}  // namespace kelm
