#pragma once

#include "laminate/panel_design.h"

namespace kelm {

// A design in a search: the panel and the laminate the search extends (or searches) next, the
// skin when skinActive. The iterative method's turn candidates and the alternative method's open
// designs both are one.
struct ActiveDesign {
  PanelDesign design;
  bool skinActive = false;

  StackingSequence& active() { return skinActive ? design.skin : design.stiffener; }
  const StackingSequence& active() const { return skinActive ? design.skin : design.stiffener; }
};

}  // namespace kelm
