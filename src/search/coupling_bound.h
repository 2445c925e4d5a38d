#pragma once

#include "numerics/mathmx.h"

namespace kelm {

// The largest value of the bilinear form u . (B v) over u, v in the parameter triangle (at a
// pair of vertices); never negative. It bounds what a coupling block between two parameter
// groups can add while both are open.
double couplingBound(const Mathmx& block);

}  // namespace kelm
