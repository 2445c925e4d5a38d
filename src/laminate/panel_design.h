#pragma once

#include "laminate/stacking_sequence.h"

namespace kelm {

// One panel as the searches handle it: the skin and stiffener half laminates, the bound over
// the design's completions, its objective value once complete, and which laminate the search
// extends next (the skin when skinActive).
struct PanelDesign {
  StackingSequence skin;
  StackingSequence stiffener;
  double designBound = 0.0;
  double value = 0.0;
  bool skinActive = false;

  StackingSequence& active() { return skinActive ? skin : stiffener; }
  const StackingSequence& active() const { return skinActive ? skin : stiffener; }
};

// The best-first store holds up to millions of open designs at once.
static_assert(sizeof(StackingSequence) == 64 && sizeof(PanelDesign) <= 160,
              "open designs must stay compact");

}  // namespace kelm
