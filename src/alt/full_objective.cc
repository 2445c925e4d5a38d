#include "alt/full_objective.h"

#include "run/fatal.h"

namespace kelm {

void FullObjective::setFullObjective(const ResponseSurface& model) {
  a_ = model.quadratic();
  b_ = model.linear();
  c_ = model.constant;
}

Vector designParameters(const PanelDesign& design) {
  Vector x(8);
  const double* skin = design.skin.parameters();
  const double* stiffener = design.stiffener.parameters();
  for (int i = 0; i < 4; ++i) {
    x.ref(1 + i) = skin[i];
    x.ref(5 + i) = stiffener[i];
  }
  return x;
}

double FullObjective::fullObjective(const PanelDesign& design) const {
  if (!design.skin.complete() || !design.stiffener.complete())
    fatal(Stream::Err, "error: @objectivefunc", false);
  const Vector x = designParameters(design);
  const Vector m = a_ * x;
  const double o = x.dot(b_);
  const double t = x.dot(m);
  return (t * 0.5 + o) + c_;
}

}  // namespace kelm
