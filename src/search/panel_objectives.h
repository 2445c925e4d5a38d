#pragma once

#include <vector>

#include "laminate/panel_design.h"
#include "response/full_objective.h"
#include "search/extra_surfaces.h"

namespace kelm {

// The value of a complete design under the maximised surface and the extra failure modes: the
// smallest of the objective surfaces, and whether every requirement holds. Without extra
// surfaces the value is the full objective's, to the bit.
class PanelObjectives {
 public:
  void setSurfaces(const ResponseSurface& model, const ExtraSurfaces& extras);

  double value(const PanelDesign& design) const;
  // The smallest of `primaryValue` (the maximised surface's value, however the caller computed
  // it) and the further objective surfaces' values.
  double smallestWith(double primaryValue, const PanelDesign& design) const;
  bool meetsRequirements(const PanelDesign& design) const;
  // Each objective surface's value (the maximised one first, then each further one).
  std::vector<double> objectiveValues(const PanelDesign& design) const;
  bool hasExtras() const { return !minOf_.empty() || !required_.empty(); }
  const FullObjective& primary() const { return primary_; }

 private:
  FullObjective primary_;
  std::vector<FullObjective> minOf_;
  std::vector<FullObjective> required_;
  std::vector<double> limits_;
};

}  // namespace kelm
