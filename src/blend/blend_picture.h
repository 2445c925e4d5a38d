#pragma once

#include <string>

#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// An SVG picture of a blended design: one column per panel (name and total above), one row
// per guide position from the outer surface down, a ply coloured by its angle where the panel
// keeps the position, so that a ply running on from panel to panel reads as one band.
std::string blendPicture(const BlendedStructure& structure, const BlendedDesign& design);

}  // namespace kelm
