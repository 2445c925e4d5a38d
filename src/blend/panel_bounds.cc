#include "blend/panel_bounds.h"

#include <algorithm>
#include <limits>

#include "blend/blend_check.h"
#include "blend/margin_combination.h"
#include "laminate/design_rules.h"
#include "search/search_constants.h"

namespace kelm {

PanelBounds::PanelBounds(const BlendPanel& panel, int plies)
    : rules_(panel.rulesFor(plies)), total_(panel.at(plies)), bounds_(total_->surfaces.size()) {
  noStiffener_.balance = false;
  for (std::size_t s = 0; s < total_->surfaces.size(); ++s)
    bounds_[s].setModel(total_->surfaces[s].surface, plies, 0, rules_, noStiffener_);
  const std::vector<ResponseSurface> means = requiredCombinations(*total_);
  combined_ = std::vector<CountCoupledBound>(means.size());
  for (std::size_t c = 0; c < means.size(); ++c) combined_[c].setModel(means[c], plies, 0, rules_, noStiffener_);
}

bool PanelBounds::completeHolds(const StackingSequence& laminate, bool beating, double toBeat, double& margin) const {
  if (!checkComplete(laminate, rules_)) return false;
  const PanelValues values = panelValues(*total_, laminate, lastStiffener_);
  lastStiffener_ = values.stiffener;
  if (!values.requirementsHold) return false;
  if (beating && !(values.margin > toBeat)) return false;
  margin = values.margin;
  return true;
}

// Each surface's bound over the completions the panel's rules allow: a required surface must
// still reach its limit, and every surface must still beat the best design's smallest margin.
bool PanelBounds::canStillWin(const PanelDesign& partial, bool beating, double toBeat, double* slack) {
  double least = std::numeric_limits<double>::infinity();
  const std::vector<ModeSurface>& surfaces = total_->surfaces;
  for (std::size_t s = 0; s < surfaces.size(); ++s) {
    const ModeSurface& mode = surfaces[s];
    double needed = -std::numeric_limits<double>::infinity();
    if (mode.required) needed = mode.limit;
    if (beating) needed = std::max(needed, mode.limit + toBeat);
    if (needed == -std::numeric_limits<double>::infinity()) continue;
    const double bound = bounds_[s].evaluate(partial, needed);
    if (bound < needed - kTieTolerance) return false;
    if (beating && bound <= mode.limit + toBeat) return false;
    least = std::min(least, bound - needed);
  }
  // A mean of required margins must still reach 0 (and beat the best margin): its bound is
  // below the mean's value of every completion, which is not below the smallest margin.
  const double needed = beating ? std::max(0.0, toBeat) : 0.0;
  for (CountCoupledBound& mean : combined_) {
    const double bound = mean.evaluate(partial, needed);
    if (bound < needed - kTieTolerance) return false;
    if (beating && bound <= toBeat) return false;
    least = std::min(least, bound - needed);
  }
  if (slack != nullptr) *slack = least;
  return true;
}

}  // namespace kelm
