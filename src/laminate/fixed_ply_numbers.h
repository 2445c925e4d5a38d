#pragma once

#include "laminate/laminate_rules.h"

namespace kelm {

// Fixes the numbers of 0 and +-45 deg positions of a laminate's designed half; 90 deg takes the
// rest. Fixed numbers switch the balance rule off for that laminate.
void fixPlyNumbers(LaminateRules& rules, int ply0, int ply45);

// Whether some half laminate of exactly these numbers of 0, +-45 and 90 deg positions (none
// negative) keeps the 4-ply rule. Halves of one or two positions are not subject to it.
bool fourPlyRuleAllows(int ply0, int ply45, int ply90);

// Whether some half laminate with the laminate's fixed ply numbers meets its design guidelines
// (run limits, the cross-ply rule, a +-45 deg outermost position, the minimum shares), the
// 4-ply rule included when it is on.
bool guidelinesAllowFixedNumbers(const LaminateRules& rules);

// Ends the run when the laminate's fixed ply numbers leave no half laminate that meets them
// (a negative count, or no arrangement that keeps the 4-ply rule).
void refuseUnreachablePlyNumbers(const LaminateRules& rules);

}  // namespace kelm
