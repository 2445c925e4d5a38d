#pragma once

namespace kelm {

// The step counter of a long search on standard error, rewritten in place (carriage return,
// no line end). A program that shows its own live line on a terminal switches it off.
void showProgress(long long steps);
void setStepCounterShown(bool shown);

}  // namespace kelm
