#include "response/full_objective.h"

namespace kelm {

void FullObjective::setFullObjective(const ResponseSurface& model) {
  a_ = model.quadratic();
  b_ = model.linear();
  c_ = model.constant;
}

// The same value through the guarded products, which end the run with their size messages when
// the model was never filled.
double FullObjective::checkedValue(const double* parameters) const {
  Vector x(kParameters);
  for (int i = 0; i < kParameters; ++i) x.ref(i + 1) = parameters[i];
  const Vector m = a_ * x;
  const double o = x.dot(b_);
  const double t = x.dot(m);
  return (t * 0.5 + o) + c_;
}

// The sums run in the order of the Mathmx and Vector products (each from 0.0), without their
// temporaries: this runs for every completed design.
double FullObjective::fullObjective(const double* x) const {
  if (a_.rowCount() != kParameters || a_.columnCount() != kParameters || b_.size() != kParameters)
    return checkedValue(x);
  const double* a = a_.data();
  const double* b = b_.data();
  double m[kParameters];
  for (int i = 0; i < kParameters; ++i) {
    double sum = 0.0;
    for (int j = 0; j < kParameters; ++j) sum = sum + a[j * kParameters + i] * x[j];
    m[i] = sum;
  }
  double o = 0.0;
  double t = 0.0;
  for (int i = 0; i < kParameters; ++i) o += b[i] * x[i];
  for (int i = 0; i < kParameters; ++i) t += m[i] * x[i];
  return (t * 0.5 + o) + c_;
}

}  // namespace kelm
