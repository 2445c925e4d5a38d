#pragma once

#include <vector>

namespace kelm {

// The weights of the objective surfaces that bound a search's optimum best, as the designs met
// so far tell them. For weights w >= 0 summing to 1 the best design of the combination sum_k
// w_k f_k bounds the smallest value of every design; the lowest such bound (the Lagrangian
// dual) lies close above the optimum where modes trade off, but at weights no fixed grid
// holds: a mode that barely governs takes a few hundredths. Given each design's values of the
// k surfaces, these are the weights whose largest combined value over the designs is least
// (a small linear programme, solved at its vertices).
//
// `points`: one row per design, one value per surface. Empty when there are fewer than two
// surfaces, more than kMostTunedSurfaces, or no point.
inline constexpr int kMostTunedSurfaces = 4;
std::vector<double> leastLargestCombination(const std::vector<std::vector<double>>& points);

// The largest combined value over the points for the given weights.
double largestCombination(const std::vector<std::vector<double>>& points,
                          const std::vector<double>& weights);

}  // namespace kelm
