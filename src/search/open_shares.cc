#include "search/open_shares.h"

#include <cmath>

namespace kelm {

void OpenShares::fill(const StackingSequence& laminate) {
  const double h = laminate.halfPlies();
  halfPlies_ = h;
  const int positions = laminate.plyCount();
  scale_.assign(positions + 1, 0.0);
  cube_.assign(positions + 1, 0.0);
  // A laminate without plies (the absent stiffener of a single laminate) has nothing open.
  if (positions == 0) return;
  for (int k = 0; k <= positions; ++k) {
    scale_[k] = (h - k) / h;
    cube_[k] = std::pow(scale_[k], 3.0);
  }
}

}  // namespace kelm
