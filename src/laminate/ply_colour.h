#pragma once

namespace kelm {

// The colour of a ply of `angle` degrees (0, 45, -45 or 90) in every picture of plies, so that
// a stack reads the same in the design picture and in the picture of blended panels.
const char* layerColour(int angle);

}  // namespace kelm
