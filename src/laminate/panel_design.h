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

// The best-first store holds up to millions of open designs at once.
static_assert(sizeof(StackingSequence) == 56 && sizeof(PanelDesign) <= 120,
              "designs must stay compact");

}  // namespace kelm
