#pragma once

#include <string>

#include "laminate/stacking_sequence.h"

namespace kelm {

// A half laminate typed by the user in the bracket form the searches print ("[45/45/90/0]s";
// the brackets and the trailing s optional), for a laminate of `plyTotal` plies. Angles 0, 45,
// -45 and 90; a -45 deg ply is a position of a +-45 deg pair like 45. Fails with a one-line
// message naming what is wrong.
StackingSequence parseHalfLaminate(const std::string& text, int plyTotal, const char* name);

}  // namespace kelm
