#pragma once

#include "laminate/stacking_sequence.h"

namespace kelm {

// A panel design as a value: the skin and stiffener half laminates and the objective value
// once both are complete. What a search keeps around a design (bounds, which laminate it
// extends next) lives in the search's own records.
struct PanelDesign {
  StackingSequence skin;
  StackingSequence stiffener;
  double value = 0.0;
};

// Whether two designs have the same codes. Two laminates without positions (the absent stiffener
// of a single laminate) are the same laminate here, though sequences of no position never
// compare equal.
inline bool sameLaminate(const StackingSequence& a, const StackingSequence& b) {
  return a.plyCount() == 0 ? b.plyCount() == 0 : a == b;
}
inline bool sameDesign(const PanelDesign& a, const PanelDesign& b) {
  return sameLaminate(a.skin, b.skin) && sameLaminate(a.stiffener, b.stiffener);
}

// The best-first store holds up to millions of open designs at once.
static_assert(sizeof(StackingSequence) == 56 && sizeof(PanelDesign) <= 120,
              "designs must stay compact");

}  // namespace kelm
