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

// Convex combinations of the objective surfaces on a grid of their weights, each bounding the
// smallest value from above as the means do; which one bounds a subtree best depends on which
// modes trade off in it, so a search walks the grid from neighbour to neighbour. The weights
// are whole multiples of 1/steps (steps falling with the number of surfaces so that the grid
// stays at a few dozen); a single surface (the vertices) is left out, its own bound being there.
// A `fine` grid is twice as fine for three surfaces: a closer trade-off at the cost of four
// times the combinations, for laminates whose count tables are small.
struct CombinationGrid {
  std::vector<ResponseSurface> surfaces;
  std::vector<std::vector<int>> weights;          // per combination, in steps, per objective
  std::vector<std::vector<int>> neighbours;       // one step of weight moved between two surfaces
  int equalMean = 0;                              // the combination nearest the mean of all
};
CombinationGrid combinationGrid(const ResponseSurface& model, const ExtraSurfaces& extras,
                                bool fine = false);

// The combination of the objective surfaces with any weights (summing to 1): one the grid
// does not hold, such as the weights that bound a search's optimum best.
ResponseSurface weightedCombination(const ResponseSurface& model, const ExtraSurfaces& extras,
                                    const std::vector<double>& weights);

}  // namespace kelm
