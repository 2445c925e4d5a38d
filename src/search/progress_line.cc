#include "search/progress_line.h"

#include <iostream>

namespace kelm {

namespace {
bool counterShown = true;
}

void showProgress(long long steps) {
  if (counterShown) std::cerr << "step " << steps << " ...\r";
}

void setStepCounterShown(bool shown) { counterShown = shown; }

}  // namespace kelm
