#pragma once

#include <string>
#include <vector>

#include "base/stop_request.h"
#include "blend/blend_check.h"
#include "blend/blended_structure.h"
#include "blend/lightest_blend.h"

namespace kelm {

// What a run for the lightest blended design is asked for, by kelm_blend and kelm.blend alike.
struct BlendRunSettings {
  std::vector<int> start;   // one allowed total per panel searched first (empty: none)
  bool weightOnly = false;  // end once the weight is certified
  int workers = 0;          // threads deciding the count vectors (0: the enumerating thread)
};

// Why `totals` cannot be a run's start vector ("" when it can): it must hold one allowed total
// per panel. `name` is how the caller's user gave them (an option or an argument).
std::string startTotalsFault(const BlendedStructure& structure, const std::vector<int>& totals,
                             const std::string& name);

// The certified lightest blended design, in this thread or with the count vectors shared among
// the settings' workers.
LightestBlend runLightestBlend(const BlendedStructure& structure, const BlendRunSettings& settings,
                               const StopRequest* stop, const VectorProgress& progress);

// The independent check of the run's design (nothing without one). A design the check refuses
// means the search and the check disagree: never handed out, it fails as an internal error of
// `who`.
BlendVerdict checkedVerdict(const BlendedStructure& structure, const LightestBlend& result, const std::string& who);

}  // namespace kelm
