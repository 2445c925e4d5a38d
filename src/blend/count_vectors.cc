#include "blend/count_vectors.h"

namespace kelm {

CountVectorQueue::CountVectorQueue(std::vector<std::vector<double>> optionWeights)
    : weights_(std::move(optionWeights)) {
  for (const auto& options : weights_)
    if (options.empty()) return;  // a panel without an option: no vector at all
  push(std::vector<int>(weights_.size(), 0));
}

double CountVectorQueue::weightOf(const std::vector<int>& options) const {
  // Summed in panel order, as the structure weighs a design.
  double weight = 0.0;
  for (std::size_t p = 0; p < options.size(); ++p) weight += weights_[p][options[p]];
  return weight;
}

void CountVectorQueue::push(std::vector<int> options) {
  if (!seen_.insert(options).second) return;
  const double weight = weightOf(options);
  open_.emplace(weight, std::move(options));
}

bool CountVectorQueue::next(std::vector<int>& options, double& weight) {
  if (open_.empty()) return false;
  weight = open_.top().first;
  options = open_.top().second;
  open_.pop();
  for (std::size_t p = 0; p < options.size(); ++p) {
    if (options[p] + 1 >= static_cast<int>(weights_[p].size())) continue;
    std::vector<int> heavier = options;
    ++heavier[p];
    push(std::move(heavier));
  }
  return true;
}

}  // namespace kelm
