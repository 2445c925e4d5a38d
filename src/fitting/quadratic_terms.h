#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "laminate/panel_design.h"

namespace kelm {

// The full quadratic in the eight lamination parameters, in the response-surface file's
// variable order x1..x8 (skin in-plane 2, stiffener in-plane 2, skin bending 2, stiffener
// bending 2): a constant, eight linear terms and 36 products.
inline constexpr int kSurfaceParameters = 8;
inline constexpr int kQuadraticTerms = 45;
using SurfaceParameters = std::array<double, kSurfaceParameters>;
using QuadraticCoefficients = std::array<double, kQuadraticTerms>;

// The file's code of each term in the fitting order: constant, x1..x8, then x_i x_j for
// i <= j (x_i squared when i == j); a coefficient multiplies its term directly.
const std::array<std::int32_t, kQuadraticTerms>& quadraticTermCodes();

// The 45 regressors of one point, in the fitting order.
void quadraticRow(const SurfaceParameters& x, double* row);

// A design's parameters in the file's order.
SurfaceParameters fileParameters(const PanelDesign& design);

// The text of a response-surface file with these coefficients, after a comment header (each
// line of `comment` becomes a '#' line); the searches read it back to the bit.
std::string surfaceFileText(const QuadraticCoefficients& coefficients, const std::string& comment);

// x1..x8 by name, "x1".."x8" for index 0..7.
std::string parameterName(int index);

}  // namespace kelm
