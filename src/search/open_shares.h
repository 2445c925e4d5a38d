#pragma once

#include <vector>

#include "laminate/stacking_sequence.h"

namespace kelm {

// The open positions of a partly set laminate are its inner ones: they add s * u to its
// in-plane parameters and s^3 * v to its bending parameters, with s = (H - k) / H the open share
// of the half thickness H when k positions are set. Both are looked up per laminate size
// instead of recomputed (the bounds ask for them millions of times); the table is filled with
// the same expressions, so the values are the same to the bit.
class OpenShares {
 public:
  // s and s^3 for the laminate as it stands.
  void of(const StackingSequence& laminate, double& s, double& cube) {
    if (halfPlies_ != laminate.halfPlies()) fill(laminate);
    s = scale_[laminate.setCount()];
    cube = cube_[laminate.setCount()];
  }

 private:
  void fill(const StackingSequence& laminate);

  double halfPlies_ = -1.0;
  std::vector<double> scale_;
  std::vector<double> cube_;
};

}  // namespace kelm
