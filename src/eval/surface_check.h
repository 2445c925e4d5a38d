#pragma once

#include <ostream>
#include <string>

namespace kelm {

// kelm_eval --check: reads a response-surface file as the searches do and reports, each with
// its line number, the first line they refuse and why; the terms they read but never use; and
// coefficients followed by text that looks like part of a number. Then, for a file they accept,
// the terms per kind, the value of all-0, all-+-45 and all-90 deg panels and whether the
// surface is concave (the eigenvalues of its 8 x 8 Hessian). Returns 0 when the searches accept
// the file, 1 when they refuse it.
int checkSurfaceFile(const std::string& fileName, std::ostream& out);

}  // namespace kelm
