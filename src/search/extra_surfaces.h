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

}  // namespace kelm
