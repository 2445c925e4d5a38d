#pragma once

#include "base/seeded_random.h"
#include "laminate/laminate_rules.h"
#include "laminate/stacking_sequence.h"

namespace kelm {

// Random laminates for the start designs of the simultaneous search.

// No code left out of a drawn laminate.
constexpr int kNoExclusion = -1;

// A random code among 0, 1, 2, or among the two left when `excluded` is one of them.
int drawCode(CRand& random, int excluded);

// Every position of `sequence` set to a drawn code (`excluded`: a code left out, or kNoExclusion).
void drawLaminate(StackingSequence& sequence, CRand& random, int excluded);

// A laminate of `total` plies set ply by ply from the outside in: under fixed ply numbers a
// random order of exactly those codes, else random codes.
StackingSequence drawnLaminate(int total, const LaminateRules& rules, CRand& random);

}  // namespace kelm
