#pragma once

#include <vector>

#include "numerics/mathmx.h"
#include "numerics/vector.h"

namespace kelm {

double determinant(const Mathmx& m);  // 2 x 2 and 3 x 3 only
double trace(const Mathmx& m);

// LU factorisation with scaled partial pivoting (Crout), computed once and applied to any
// number of right-hand sides.
struct LUfactors {
  Mathmx lu{2, 2};         // L strictly below the diagonal, U on and above, row-permuted
  std::vector<int> index;  // index[j-1]: row interchanged with row j at step j
  int order = 0;           // 0 while nothing has been factorised
};

void LUdecomp(LUfactors& factors, const Mathmx& m);
void ludecomp(LUfactors& factors);
Vector LUsolve(const LUfactors& factors, const Vector& b);
// The same solve on `order` plain reals, overwritten by the solution (no bounds checks: the
// caller provides at least `order` elements).
void luSolveInPlace(const LUfactors& factors, double* x);

}  // namespace kelm
