#pragma once

#include <vector>

#include "base/stop_request.h"
#include "blend/blended_structure.h"
#include "blend/lightest_blend.h"

namespace kelm {

// Each panel's totals that it can meet alone, ascending: a total is ruled out when a required
// surface's ceiling over every design the rules allow stays below its limit, or else when the
// panel alone holds no design at it. What is ruled out, and the positions searched, go to
// `record`. Stopped, the lists end where the stop came.
std::vector<std::vector<int>> totalsEachPanelMeets(const BlendedStructure& structure, const StopRequest* stop,
                                                   LightestBlend& record);

}  // namespace kelm
