#include "numerics/small_solve.h"

namespace kelm {

SmallFactors compactFactors(const LUfactors& factors) {
  SmallFactors compact;
  const int n = factors.order;
  for (int i = 0; i < n; ++i) compact.index[i] = factors.index[i];
  for (int i = 0; i < n * n; ++i) compact.lu[i] = factors.lu.data()[i];
  return compact;
}

}  // namespace kelm
