#pragma once

namespace kelm {

// The step counter of a long search on standard error, rewritten in place (carriage return,
// no line end), when the search shows it.
void showProgress(bool shown, long long steps);

}  // namespace kelm
