#pragma once

#include <functional>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_structure.h"
#include "blend/neighbour_conflicts.h"

namespace kelm {

// The count vectors (one total per panel) by increasing weight: a branch and bound over the
// panels in order, each panel's lightest remaining totals bounding the rest, that skips every
// vector a pair or group of its panels rules out and every vector the caller has taken already.
class CountVectorEnumeration {
 public:
  using Taken = std::function<bool(const std::vector<int>& plies)>;

  CountVectorEnumeration(const BlendedStructure& structure, NeighbourConflicts& conflicts, Taken taken)
      : structure_(structure), conflicts_(conflicts), taken_(std::move(taken)) {}

  void setStop(const StopRequest* stop) { stop_ = stop; }
  // Each panel's totals that it meets alone, ascending.
  void setOptions(std::vector<std::vector<int>> options);
  const std::vector<std::vector<int>>& options() const { return options_; }
  // The weight of every panel at its lightest total: no vector is lighter.
  double lightestWeight() const;

  // The lightest vector not taken whose pairs (and groups known) can all be blended, with its
  // weight as the structure weighs a design. False when none is left (or stopped: a stop cuts the
  // enumeration short, so that proves nothing).
  bool lightestUntried(std::vector<int>& plies, double& weight);

 private:
  bool stopped() const { return stop_ != nullptr && stop_->requested(); }
  void descend(std::size_t panel, double weight);

  const BlendedStructure& structure_;
  NeighbourConflicts& conflicts_;
  const Taken taken_;
  const StopRequest* stop_ = nullptr;
  std::vector<std::vector<int>> options_;
  std::vector<double> restLightest_;  // the lightest weight of the panels from p on
  std::vector<int> current_;
  std::vector<int> bestVector_;
  double bestWeight_ = 0.0;
};

}  // namespace kelm
