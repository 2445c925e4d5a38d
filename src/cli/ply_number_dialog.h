#pragma once

#include <iosfwd>

#include "laminate/laminate_rules.h"

namespace kelm {

// Asks on `err` which laminate to set (0 skin, 1 stiffener, 2 both), then per laminate the
// numbers of 0 and +-45 deg positions of its designed half, and fixes them.
// `utf8Signs`: the degree and plus-minus signs in UTF-8 instead of their Shift-JIS bytes.
void plyNumberDialog(LaminateRules& skin, LaminateRules& stiffener, std::istream& in,
                     std::ostream& err, bool utf8Signs = false);

}  // namespace kelm
