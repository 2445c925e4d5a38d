#include "blend/count_vector_enumeration.h"

#include <limits>

namespace kelm {

void CountVectorEnumeration::setOptions(std::vector<std::vector<int>> options) {
  options_ = std::move(options);
  restLightest_.assign(options_.size() + 1, 0.0);
  for (std::size_t p = options_.size(); p-- > 0;)
    restLightest_[p] = restLightest_[p + 1] + structure_.panels[p].plyWeight * options_[p].front();
}

double CountVectorEnumeration::lightestWeight() const { return restLightest_[0] + structure_.stiffenersWeight(); }

bool CountVectorEnumeration::lightestUntried(std::vector<int>& plies, double& weight) {
  bestWeight_ = std::numeric_limits<double>::infinity();
  current_.assign(options_.size(), 0);
  bestVector_.clear();
  descend(0, 0.0);
  if (bestVector_.empty()) return false;
  plies = bestVector_;
  weight = bestWeight_ + structure_.stiffenersWeight();  // as the structure weighs a design
  return true;
}

void CountVectorEnumeration::descend(std::size_t panel, double weight) {
  if (stopped() || !(weight + restLightest_[panel] < bestWeight_)) return;
  if (panel == options_.size()) {
    if (taken_(current_)) return;
    bestWeight_ = weight;
    bestVector_ = current_;
    return;
  }
  for (int plies : options_[panel]) {
    current_[panel] = plies;
    // Summed in panel order, as the structure weighs a design.
    const double heavier = weight + structure_.panels[panel].plyWeight * plies;
    if (!(heavier + restLightest_[panel + 1] < bestWeight_)) break;  // options ascend
    if (!conflicts_.fitsEarlierPanels(static_cast<int>(panel), current_)) continue;
    descend(panel + 1, heavier);
  }
}

}  // namespace kelm
