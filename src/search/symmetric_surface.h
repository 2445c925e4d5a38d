#pragma once

#include "numerics/mathmx.h"
#include "search/surface_blocks.h"

namespace kelm {

// The surface as the count bounds read it: parameters numbered by group, two each (skin
// in-plane 0, 1, skin bending 2, 3, stiffener in-plane 4, 5, stiffener bending 6, 7), the
// symmetric part of the Hessian (the only part that shapes the quadratic), the linear terms,
// the constant, and the margin every count bound adds so that rounding never cuts an optimum or
// a tie.
struct SymmetricSurface {
  static constexpr int kParameters = 8;

  void copyFrom(const SurfaceBlocks& blocks);
  // The 2 x 2 block of groups (row, column).
  Mathmx block(int rowGroup, int columnGroup) const;

  double hessian[kParameters][kParameters] = {};
  double linear[kParameters] = {};
  double constant = 0.0;
  double margin = 0.0;
};

}  // namespace kelm
