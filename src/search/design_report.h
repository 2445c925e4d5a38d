#pragma once

#include <cstddef>
#include <vector>

#include "laminate/panel_design.h"

namespace kelm {

// A stopped run lists at most this many of its designs: on a plateau of equal values it holds
// millions, whose lines would take seconds to write after the stop, and a person reads the
// first of them. A finished run lists every design.
constexpr std::size_t kDesignsListedWhenStopped = 1000;

// Every optimal design as the user reads it: skin line, stiffener line and its value, at 10
// significant digits (the stream's precision is restored afterwards). A stopped run lists the
// first ones and says how many more it found.
void writeOptimalDesigns(const std::vector<PanelDesign>& results, bool stopped = false);

// The K best designs, each followed by "value = V" (10 significant digits).
void writeRankedDesigns(const std::vector<PanelDesign>& designs, bool stopped = false);

// Designs in the order of their codes: skin first, outer positions first.
bool codesBefore(const PanelDesign& a, const PanelDesign& b);

}  // namespace kelm
