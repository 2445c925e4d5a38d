#include "search/coupling_bound.h"

#include "numerics/vector.h"
#include "search/parameter_triangle.h"

namespace kelm {

double couplingBound(const Mathmx& block) {
  double best = 0.0;
  for (const auto& vi : kTriangleVertices) {
    for (const auto& vj : kTriangleVertices) {
      Vector u, v;
      u.ref(1) = vi[0];
      u.ref(2) = vi[1];
      v.ref(1) = vj[0];
      v.ref(2) = vj[1];
      const double value = u.dot(block * v);
      if (value > best) best = value;
    }
  }
  return best;
}

}  // namespace kelm
