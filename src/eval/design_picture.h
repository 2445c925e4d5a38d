#pragma once

#include <string>

#include "laminate/panel_design.h"
#include "laminate/ply_colour.h"  // layerColour, shared by every picture of plies

namespace kelm {

// One design as a picture (SVG): on the left both laminates' whole stacks as coloured layers,
// outer surface on top, mid-plane marked, every +-45 ply with its sign; on the right the
// in-plane and the bending lamination-parameter diagrams (cos 2 theta across, cos 4 theta up,
// the feasible region between xi2 = 2 xi1^2 - 1 and xi2 = 1, both axes with their values)
// with the skin's and the stiffener's points marked. A title too long for one line takes two,
// smaller, and never runs past the picture's right edge.
std::string designSvg(const PanelDesign& design, const std::string& title);

}  // namespace kelm
