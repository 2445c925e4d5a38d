#pragma once

#include <vector>

#include "fitting/quadratic_terms.h"

namespace kelm {

// The surface C - sum w_i (x_i - t_i)^2 of lamination-parameter targets: maximising it finds
// the buildable designs nearest the target (the second step of the two-step method), exactly.
// The searches report only designs of value 0 or more, so the offset C = sum w_i (1 + |t_i|)^2
// keeps every design (each x_i within -1..1) at or above zero; a design's weighted squared
// distance from the target is C minus its value.
QuadraticCoefficients targetSurface(const SurfaceParameters& target, const SurfaceParameters& weights);
double targetOffset(const SurfaceParameters& target, const SurfaceParameters& weights);

// The same over the variables of `terms` alone (a single laminate's x1, x2, x5, x6), one
// coefficient per term; the other parameters' targets and weights are not read.
std::vector<double> targetSurface(const SurfaceParameters& target, const SurfaceParameters& weights,
                                  const QuadraticTerms& terms);
double targetOffset(const SurfaceParameters& target, const SurfaceParameters& weights,
                    const QuadraticTerms& terms);

}  // namespace kelm
