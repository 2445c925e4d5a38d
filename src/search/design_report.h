#pragma once

#include <vector>

#include "laminate/panel_design.h"

namespace kelm {

// Every optimal design as the user reads it: skin line, stiffener line and its value, at 10
// significant digits (the stream's precision is restored afterwards).
void writeOptimalDesigns(const std::vector<PanelDesign>& results);

}  // namespace kelm
