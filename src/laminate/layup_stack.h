#pragma once

#include <string>
#include <vector>

#include "laminate/stacking_sequence.h"

namespace kelm {

// The whole symmetric laminate as a technician lays it up, outer surface to outer surface, with
// an explicit sign on every +-45 deg ply. The designed half's +-45 deg positions take +45 and
// -45 in turn from the outer surface inward, so the half, and with its mirror image the whole
// laminate, is balanced whenever the half has an even number of them; the mirror image repeats
// each ply's angle and sign.
struct LayupStack {
  std::vector<int> angles;  // degrees, outer surface to outer surface
  int plus45 = 0;           // +45 deg plies in the whole laminate
  int minus45 = 0;          // -45 deg plies in the whole laminate
};
LayupStack layupStack(const StackingSequence& halfLaminate);

// "[+45/-45/0/90/90/0/-45/+45]" and the sentence that says how the signs were chosen.
std::string layupText(const LayupStack& stack);
std::string signSentence(const LayupStack& stack);

}  // namespace kelm
