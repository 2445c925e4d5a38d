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
// Forward substitution with the row interchanges (skipping the leading zeros of the right-hand
// side), then back substitution, on n plain reals overwritten by the solution. `at(i, k)` reads
// element (i, k) of the factors, 1-based; index[i - 1] is the row interchanged at step i.
template <typename Element>
inline void substituteLU(int n, const int* index, Element at, double* x) {
  auto v = [x](int i) -> double& { return x[i - 1]; };
  int first = 0;
  for (int i = 1; i <= n; ++i) {
    const int p = index[i - 1];
    double sum = v(p);
    v(p) = v(i);
    if (first != 0) {
      for (int k = first; k < i; ++k) sum = sum - at(i, k) * v(k);
    } else if (sum != 0.0) {
      first = i;
    }
    v(i) = sum;
  }
  for (int i = n; i >= 1; --i) {
    double sum = v(i);
    for (int k = i + 1; k <= n; ++k) sum = sum - at(i, k) * v(k);
    v(i) = sum / at(i, i);
  }
}

// The same solve on `order` plain reals, overwritten by the solution (no bounds checks: the
// caller provides at least `order` elements).
void luSolveInPlace(const LUfactors& factors, double* x);

}  // namespace kelm
