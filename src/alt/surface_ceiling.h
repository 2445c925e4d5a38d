#pragma once

#include "laminate/laminate_rules.h"
#include "response/response_surface.h"

namespace kelm {

// An upper bound of a surface over the designs of the given totals that keep the rules and come
// within the tie tolerance of `limit`: the smaller of the joint bound and the count-coupled
// bound of the design with nothing set. Below limit - tolerance when no design reaches the limit
// (-infinity when the rules admit no design at all). Cheap (no search): a sizing run skips a
// total whose required surface cannot reach its limit. A stiffener total of 0 is a single
// laminate.
double surfaceCeiling(const ResponseSurface& surface, int skinPlyTotal, int stiffenerPlyTotal,
                      const LaminateRules& skinRules, const LaminateRules& stiffenerRules,
                      double limit);

}  // namespace kelm
