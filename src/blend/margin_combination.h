#pragma once

#include <vector>

#include "blend/blended_structure.h"
#include "response/response_surface.h"

namespace kelm {

// The mean margin of several surfaces as one surface: sum over k of (f_k - limit_k) / K. The
// smallest margin is never above it, so where no completion of a laminate lets the mean reach a
// value, none lets every margin reach it: one bound of the mean cuts where the bounds of the
// single surfaces, each free to take its best completion, cannot (modes that trade off).
ResponseSurface meanMargin(const std::vector<const ModeSurface*>& surfaces);

// The combinations a panel's bound takes: the mean of every required surface (none for fewer
// than two).
std::vector<ResponseSurface> requiredCombinations(const PanelTotal& total);

}  // namespace kelm
