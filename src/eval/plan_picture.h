#pragma once

#include <string>
#include <vector>

#include "laminate/panel_design.h"

namespace kelm {

// A sampling plan as a picture (SVG) on the four lamination-parameter diagrams: skin in-plane,
// skin bending, stiffener in-plane, stiffener bending, with one point per design in each, so
// that gaps in the plan's cover of the feasible regions show. No designs give empty diagrams.
// A plan of single laminates (`withStiffener` false) has the skin's two diagrams alone.
std::string planSvg(const std::vector<PanelDesign>& designs, const std::string& title,
                    bool withStiffener = true);

// A fitted response judged against the analyses it was fitted to (SVG): one point per sample,
// analysed value across and predicted value up, the line y = x on which a perfect fit lies,
// both axes with their values, and the root-mean-square and the largest error below. Samples
// with a value that is not finite are left out; the two lists must be equally long.
std::string fitSvg(const std::vector<double>& analysed, const std::vector<double>& predicted,
                   const std::string& title);

}  // namespace kelm
