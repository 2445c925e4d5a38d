#include "laminate/ply_colour.h"

namespace kelm {

const char* layerColour(int angle) {
  switch (angle) {
    case 0: return "#4e79a7";
    case 90: return "#f28e2b";
    case 45: return "#59a14f";
    default: return "#8cd17d";  // -45
  }
}

}  // namespace kelm
