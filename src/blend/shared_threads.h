#pragma once

#include <vector>

#include "base/stop_request.h"
#include "blend/lightest_blend.h"

namespace kelm {

// findLightestBlend with the count vectors decided by `workers` threads, each with a decider of
// its own (its own panels' laminates and groups learnt), while this thread enumerates them and
// keeps the certificate. The answer is findLightestBlend's once the search is decided; only the
// vectors tried and the positions counted differ. `progress` is called from this thread.
LightestBlend findLightestBlendShared(const BlendedStructure& structure, int workers, const StopRequest* stop = nullptr,
                                      const VectorProgress& progress = {}, const std::vector<int>& start = {},
                                      bool weightOnly = false);

}  // namespace kelm
