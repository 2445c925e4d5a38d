#pragma once

#include <optional>

#include "laminate/panel_design.h"
#include "search/excluded_designs.h"
#include "search/panel_objectives.h"
#include "search/tie_rule.h"

namespace kelm {

// The distinct allowed designs met before the tree search (the random start, the local
// search's tries) when the K best designs are wanted. K distinct designs that reach a value
// prove that the K-th best value reaches it too, so their K-th value is a floor the tree may
// prune against from its first expansion on, as the best value of one design is for the best.
class RankedStarts {
 public:
  RankedStarts(int top, const PanelObjectives& objectives);

  // A complete design that meets the rules, the requirements and is not excluded, its value set.
  void offer(const PanelDesign& design);
  // The K-th largest value of the designs offered, each valued again as the tree values it
  // (built ply by ply from the outside in); none while fewer than K were offered.
  std::optional<double> floor() const;

 private:
  int top_;
  const PanelObjectives& objectives_;
  TiedBest<PanelDesign> ranked_;
  ExcludedDesigns seen_;  // so that no design counts twice
};

}  // namespace kelm
