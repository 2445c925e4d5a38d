#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "response/response_surface.h"

namespace kelm {

// The variables of a term code: x1..x8 with their powers, as "x3", "x5^2" or "x1*x7"; "1" for
// the constant.
std::string termName(std::int32_t code);

// A single laminate (a plate, or a skin designed alone) has only the skin's parameters x1, x2,
// x5 and x6: the first term of the surface, in file order, that reads a stiffener parameter
// (x3, x4, x7 or x8) with a coefficient other than zero, or none.
std::optional<std::int32_t> firstStiffenerTerm(const ResponseSurface& surface);

// A single laminate's surface reads only the skin's parameters: a term with a stiffener
// parameter fails with a message naming it and the file.
void refuseStiffenerTerms(const ResponseSurface& surface, const std::string& fileName);

}  // namespace kelm
