#include "search/progress_line.h"

#include <iostream>

namespace kelm {

void showProgress(bool shown, long long steps) {
  if (shown) std::cerr << "step " << steps << " ...\r";
}

}  // namespace kelm
