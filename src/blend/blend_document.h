#pragma once

#include <string>

#include "blend/blend_check.h"
#include "blend/lightest_blend.h"

namespace kelm {

// A search's status as reports and documents name it: "optimal", "infeasible" or "stopped".
const char* blendStatusName(LightestBlend::Status status);

// A guide position's angle as printed: 0, 45 (a +-45 position) or 90.
int guideAngle(int code);

// The result of a blended search as its JSON document (indented, one line end at the end):
// status, weight, lower bound, smallest margin, each panel's total, stack, values and margin,
// the table, the certificate and the search's figures. It is also a design file: the
// independent check reads its panels and table back. `verdict` holds the design's values.
std::string blendDocument(const BlendedStructure& structure, const LightestBlend& result, const BlendVerdict& verdict,
                          double seconds);

}  // namespace kelm
