#pragma once

#include <vector>

#include "response/response_surface.h"

namespace kelm {

// Failure modes beside the surface a search maximises: the objective becomes the smallest of
// that surface and every `minOf` surface, and only designs whose value of each `required`
// surface is at least its limit are allowed. The surfaces belong to the caller and outlive the
// search.
struct SurfaceRequirement {
  const ResponseSurface* surface = nullptr;
  double limit = 0.0;
};

struct ExtraSurfaces {
  std::vector<const ResponseSurface*> minOf;
  std::vector<SurfaceRequirement> required;

  bool empty() const { return minOf.empty() && required.empty(); }
};

// Weighted means of the objective surfaces (the maximised one and every `minOf` one) that
// bound their smallest value from above: min_k f_k <= sum_k w_k f_k for weights that sum to 1,
// and the bound of one such quadratic is far tighter where the modes trade off against each
// other than the smallest of their own bounds. The mean of all, and of each pair when there
// are at most four; none for a single surface.
std::vector<ResponseSurface> boundingMeans(const ResponseSurface& model, const ExtraSurfaces& extras);

}  // namespace kelm
