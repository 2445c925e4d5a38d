#pragma once

#include <iostream>

namespace kelm {

// The step counter of a long search on standard error, rewritten in place (carriage return,
// no line end).
inline void showProgress(long long steps) { std::cerr << "step " << steps << " ...\r"; }

}  // namespace kelm
