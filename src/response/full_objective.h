#pragma once

#include "numerics/mathmx.h"
#include "numerics/vector.h"
#include "response/response_surface.h"

namespace kelm {

// The response surface over all eight lamination parameters of a panel: skin in-plane, skin
// bending, stiffener in-plane, stiffener bending, two each.
class FullObjective {
 public:
  static constexpr int kParameters = 8;

  void setFullObjective(const ResponseSurface& model);
  double fullObjective(const double* parameters) const;

 private:
  double checkedValue(const double* parameters) const;
  Mathmx a_{2, 2};
  Vector b_;
  double c_ = 0.0;
};

}  // namespace kelm
