#pragma once

#include "search/open_counts.h"
#include "numerics/mathmx.h"

namespace kelm {

// A laminate's bending block D, with what the maximisation over an entry's hexagon needs of it:
// when D is negative definite the quadratic has one stationary point, the unconstrained
// maximum, which counts where it lies inside the hexagon.
class BendingForm {
 public:
  void set(const Mathmx& bending);

  // The largest h . d + half d D d over the polygon of `entry`: its hexagon, or the hexagon as
  // the arrangement rules cut it (corners, edges and the inside).
  double maxOverHexagon(const CountEntry& entry, const double h[2]) const;
  // The same, with a point where it is reached.
  double maxOverHexagonAt(const CountEntry& entry, const double h[2], double at[2]) const;

 private:
  bool stationaryInside(const CountEntry& entry, const double h[2], double stationary[2]) const;

  bool concave_ = false;
  double inverse_[4] = {};  // D^-1, column-stored, when concave_
};

}  // namespace kelm
