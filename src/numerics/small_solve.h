#pragma once

#include "numerics/lu.h"

namespace kelm {

// A factorised system of order 2 or 3 held in plain arrays next to each other, so the bound's
// many small solves touch one cache line and unroll.
struct SmallFactors {
  int index[3] = {0, 0, 0};
  double lu[9] = {};  // column-stored: element (i, k) at (k - 1) * order + (i - 1)

  double at(int order, int i, int k) const { return lu[(k - 1) * order + (i - 1)]; }
};

// The factors of an LU factorisation of order 2 or 3, copied into the compact form.
SmallFactors compactFactors(const LUfactors& factors);

// The LU solve written out for orders 2 and 3 on x, overwritten by the solution: the same
// operations in the same order as the general substitution (leading zeros of the right-hand
// side skipped, then back substitution), so the solutions agree to the bit. Inline: they run
// several times for every bound.
inline void solveSmall2(const SmallFactors& f, double* x) {
  double sum = x[f.index[0] - 1];
  x[f.index[0] - 1] = x[0];
  const bool leadingZero = !(sum != 0.0);
  x[0] = sum;
  sum = x[f.index[1] - 1];
  x[f.index[1] - 1] = x[1];
  if (!leadingZero) sum = sum - f.at(2, 2, 1) * x[0];
  x[1] = sum;
  x[1] = x[1] / f.at(2, 2, 2);
  x[0] = (x[0] - f.at(2, 1, 2) * x[1]) / f.at(2, 1, 1);
}

inline void solveSmall3(const SmallFactors& f, double* x) {
  int first = 0;
  double sum = x[f.index[0] - 1];
  x[f.index[0] - 1] = x[0];
  if (sum != 0.0) first = 1;
  x[0] = sum;
  sum = x[f.index[1] - 1];
  x[f.index[1] - 1] = x[1];
  if (first != 0) {
    sum = sum - f.at(3, 2, 1) * x[0];
  } else if (sum != 0.0) {
    first = 2;
  }
  x[1] = sum;
  sum = x[f.index[2] - 1];
  x[f.index[2] - 1] = x[2];
  if (first == 1) sum = sum - f.at(3, 3, 1) * x[0];
  if (first == 1 || first == 2) sum = sum - f.at(3, 3, 2) * x[1];
  x[2] = sum;
  x[2] = x[2] / f.at(3, 3, 3);
  x[1] = (x[1] - f.at(3, 2, 3) * x[2]) / f.at(3, 2, 2);
  x[0] = ((x[0] - f.at(3, 1, 2) * x[1]) - f.at(3, 1, 3) * x[2]) / f.at(3, 1, 1);
}

}  // namespace kelm
