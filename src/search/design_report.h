#pragma once

#include <vector>

#include "laminate/panel_design.h"

namespace kelm {

// Every optimal design as the user reads it: skin line, stiffener line and its value, at 10
// significant digits (the stream's precision is restored afterwards).
void writeOptimalDesigns(const std::vector<PanelDesign>& results);

// The K best designs, each followed by "value = V" (10 significant digits).
void writeRankedDesigns(const std::vector<PanelDesign>& designs);

// Designs in the order of their codes: skin first, outer positions first.
bool codesBefore(const PanelDesign& a, const PanelDesign& b);

}  // namespace kelm
