#include "search/panel_value.h"

#include "base/fatal.h"

namespace kelm {

double fullObjective(const FullObjective& objective, const PanelDesign& design) {
  if (!design.skin.complete() || !design.stiffener.complete())
    fatal(Stream::Err, "error: @objectivefunc", false);
  double x[FullObjective::kParameters];
  for (int i = 0; i < 4; ++i) {
    x[i] = design.skin.parameters()[i];
    x[4 + i] = design.stiffener.parameters()[i];
  }
  return objective.fullObjective(x);
}

}  // namespace kelm
