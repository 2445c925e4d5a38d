#pragma once

#include "laminate/panel_design.h"
#include "numerics/mathmx.h"
#include "numerics/vector.h"
#include "response/response_surface.h"

namespace kelm {

// The response surface over all eight lamination parameters of a panel (skin in-plane, skin
// bending, stiffener in-plane, stiffener bending), for designs whose laminates are complete.
class FullObjective {
 public:
  void setFullObjective(const ResponseSurface& model);
  double fullObjective(const PanelDesign& design) const;

 private:
  static constexpr int kParameters = 8;
  double checkedValue(const double* parameters) const;
  Mathmx a_{2, 2};
  Vector b_;
  double c_ = 0.0;
};

}  // namespace kelm
