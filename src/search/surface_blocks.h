#pragma once

#include "numerics/mathmx.h"
#include "numerics/vector.h"
#include "response/response_surface.h"

namespace kelm {

// The response surface's coefficients as the turn-wise models use them: the ten 2 x 2 blocks,
// the four group vectors and the constant, plus the transposed coupling blocks, which depend
// on the surface alone and are therefore formed once (a transpose is exact).
struct SurfaceBlocks {
  Mathmx block11{2, 2}, block12{2, 2}, block22{2, 2}, block33{2, 2}, block34{2, 2},
      block44{2, 2}, block13{2, 2}, block14{2, 2}, block23{2, 2}, block24{2, 2};
  Vector linear1, linear2, linear3, linear4;
  double constant = 0.0;
  Mathmx block12T{2, 2}, block34T{2, 2}, block13T{2, 2}, block14T{2, 2}, block23T{2, 2},
      block24T{2, 2};

  void copyFrom(const ResponseSurface& model);
};

// The active laminate's in-plane (P), coupling (Q) and bending (R) blocks.
struct ActiveBlocks {
  const Mathmx& inPlane;
  const Mathmx& coupling;
  const Mathmx& bending;
};
ActiveBlocks activeBlocks(const SurfaceBlocks& blocks, bool skinActive);

// The objective at the active laminate's parameters (x in-plane, y bending), given its linear
// terms (a, b) and the fixed part. The order of the sums is deliberate: ties at 1e-13 depend
// on the last bit.
double activeValue(const Vector& x, const Vector& y, const ActiveBlocks& blocks, const Vector& a,
                   const Vector& b, double fixedPart);
// The same on plain two-element arrays, for the bounds' hot paths.
double activeValue(const double* x, const double* y, const ActiveBlocks& blocks, const double* a,
                   const double* b, double fixedPart);

}  // namespace kelm
