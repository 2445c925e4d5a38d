#pragma once

#include <vector>

#include "laminate/stacking_sequence.h"

namespace kelm {

// One row of the stacking-sequence table: a position of the guide laminate (outer surface
// first) and its level. A position of level l belongs to every panel whose count class is l or
// more; level 1 runs through every panel.
struct GuidePosition {
  int code = kCode0;
  int level = 1;
};

// A blended design: each panel's ply total and half laminate, and for the table form the
// guide they were cut from; for a structure with stiffened panels, each panel's stiffener (a
// plate's of no plies).
struct BlendedDesign {
  std::vector<int> plies;
  std::vector<GuidePosition> guide;  // empty for edge-wise designs
  std::vector<StackingSequence> laminates;
  std::vector<StackingSequence> stiffeners;  // empty when no panel is stiffened
};

// The distinct half-position counts of the panels, ascending: the table's count classes.
std::vector<int> countClasses(const std::vector<int>& plies);
// The class (1-based) of a panel of `plies` plies among `classes`.
int classOf(const std::vector<int>& classes, int plies);

// Each panel's half laminate cut from the guide: the guide's positions of level up to the
// panel's class, in order. The guide must hold exactly the positions the classes need.
std::vector<StackingSequence> laminatesFromGuide(const std::vector<GuidePosition>& guide,
                                                 const std::vector<int>& plies);

}  // namespace kelm
