#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "blend/blend_check.h"
#include "blend/blended_design.h"
#include "blend/blended_structure.h"
#include "blend/lightest_blend.h"

namespace kelm {

// A number as the blending reports print it (ten significant digits).
std::string numberText(double value);
// A count vector as the reports print it: its totals separated by '/'.
std::string pliesText(const std::vector<int>& plies);

// A stiffened panel's stiffener, after its skin; nothing for a plate.
void writeStiffener(std::ostream& out, const BlendPanel& panel, const BlendedDesign& design, std::size_t p);

// kelm_blend's text report: the structure, each panel's laminate and its most critical surface,
// the stacking-sequence table, the weight and margin, the certificate (what was ruled out and
// why), the lower bound or gap, the status and the effort.
void writeBlendReport(std::ostream& out, const BlendedStructure& structure, const LightestBlend& result,
                      const BlendVerdict& verdict, double seconds);

}  // namespace kelm
