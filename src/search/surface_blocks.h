#pragma once

#include "numerics/mathmx.h"
#include "numerics/vector.h"
#include "response/response_surface.h"

namespace kelm {

// The eight lamination parameters form four groups of two: 0 skin in-plane, 1 skin bending,
// 2 stiffener in-plane, 3 stiffener bending. A laminate's groups are its in-plane group g and
// its bending group g + 1.
inline constexpr int kGroups = 4;
inline constexpr int kSkinGroup = 0;
inline constexpr int kStiffenerGroup = 2;
inline int inPlaneGroupOf(bool skin) { return skin ? kSkinGroup : kStiffenerGroup; }

// The response surface's coefficients as the bounds and the turn-wise objective use them, as
// one table indexed by group, so that the skin's and the stiffener's roles are the same code
// with other indices.
struct SurfaceBlocks {
  // hessian[i][j]: the 2 x 2 block that maps group j's parameters into group i's gradient.
  // The blocks below the diagonal are the transposes of those above, formed once per surface
  // (a transpose is exact).
  Mathmx hessian[kGroups][kGroups];
  Vector linear[kGroups];  // each group's linear coefficients
  double constant = 0.0;

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
