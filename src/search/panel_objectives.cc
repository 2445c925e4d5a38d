#include "search/panel_objectives.h"

#include <algorithm>

#include "search/panel_value.h"

namespace kelm {

void PanelObjectives::setSurfaces(const ResponseSurface& model, const ExtraSurfaces& extras) {
  primary_.setFullObjective(model);
  minOf_.assign(extras.minOf.size(), FullObjective());
  for (std::size_t i = 0; i < extras.minOf.size(); ++i) minOf_[i].setFullObjective(*extras.minOf[i]);
  required_.assign(extras.required.size(), FullObjective());
  limits_.clear();
  for (std::size_t i = 0; i < extras.required.size(); ++i) {
    required_[i].setFullObjective(*extras.required[i].surface);
    limits_.push_back(extras.required[i].limit);
  }
}

double PanelObjectives::value(const PanelDesign& design) const {
  return smallestWith(fullObjective(primary_, design), design);
}

double PanelObjectives::smallestWith(double primaryValue, const PanelDesign& design) const {
  double smallest = primaryValue;
  for (const FullObjective& mode : minOf_) smallest = std::min(smallest, fullObjective(mode, design));
  return smallest;
}

std::vector<double> PanelObjectives::objectiveValues(const PanelDesign& design) const {
  std::vector<double> values = {fullObjective(primary_, design)};
  for (const FullObjective& mode : minOf_) values.push_back(fullObjective(mode, design));
  return values;
}

bool PanelObjectives::meetsRequirements(const PanelDesign& design) const {
  for (std::size_t i = 0; i < required_.size(); ++i)
    if (!(fullObjective(required_[i], design) >= limits_[i])) return false;
  return true;
}

}  // namespace kelm
