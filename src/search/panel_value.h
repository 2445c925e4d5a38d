#pragma once

#include "laminate/panel_design.h"
#include "response/full_objective.h"

namespace kelm {

// The full objective of a panel design whose two laminates are complete; an open position ends
// the run.
double fullObjective(const FullObjective& objective, const PanelDesign& design);

}  // namespace kelm
