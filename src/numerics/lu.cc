#include "numerics/lu.h"

#include <cmath>

#include "base/fatal.h"

namespace kelm {

namespace {
constexpr double kZeroPivot = 1e-20;
void irregular() { fatal(Stream::Err, "error: matrix is irregular!", false); }
}  // namespace

double determinant(const Mathmx& m) {
  if (m.rowCount() != m.columnCount()) irregular();
  if (m.rowCount() == 2) return m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1);
  if (m.rowCount() == 3) {
    // Products and sums in exactly this order: the bound's solvability tests compare the
    // result with 1e-15.
    return (m(3, 3) * m(2, 2)) * m(1, 1) + (m(3, 2) * m(2, 1)) * m(1, 3) +
           (m(2, 3) * m(1, 2)) * m(3, 1) - (m(3, 1) * m(1, 3)) * m(2, 2) -
           (m(2, 1) * m(1, 2)) * m(3, 3) - (m(2, 3) * m(3, 2)) * m(1, 1);
  }
  // The multiplication sign is written as its Shift-JIS bytes.
  fatal(Stream::Err, "error: determinant is used only for 2\x81\x7E" "2 and 3\x81\x7E" "3 matrix!",
        false);
}

double trace(const Mathmx& m) {
  if (m.rowCount() != m.columnCount()) irregular();
  double sum = 0.0;
  for (int i = 1; i <= m.rowCount(); ++i) sum += m(i, i);
  return sum;
}

void LUdecomp(LUfactors& factors, const Mathmx& m) {
  if (m.rowCount() != m.columnCount()) fatal(Stream::Err, "error: matrix is irregular! @LUdecomp", false);
  factors.order = m.rowCount();
  factors.lu = m;
  factors.index.assign(factors.order, 0);
  ludecomp(factors);
}

void ludecomp(LUfactors& factors) {
  Mathmx& a = factors.lu;
  const int n = factors.order;
  std::vector<double> scale(n);
  for (int i = 1; i <= n; ++i) {
    double big = 0.0;
    for (int j = 1; j <= n; ++j)
      if (std::fabs(a(i, j)) > big) big = std::fabs(a(i, j));
    if (big == 0.0) fatal(Stream::Err, "Singular matrix @ludecomp", false);
    scale[i - 1] = 1.0 / big;
  }
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i < j; ++i) {
      double sum = a(i, j);
      for (int k = 1; k < i; ++k) sum = sum - a(i, k) * a(k, j);
      a.ref(i, j) = sum;
    }
    double big = 0.0;
    int imax = j;
    for (int i = j; i <= n; ++i) {
      double sum = a(i, j);
      for (int k = 1; k < j; ++k) sum = sum - a(i, k) * a(k, j);
      a.ref(i, j) = sum;
      const double t = scale[i - 1] * std::fabs(sum);
      if (t >= big) {  // ties go to the later row
        big = t;
        imax = i;
      }
    }
    if (imax != j) {
      for (int k = 1; k <= n; ++k) {
        const double swap = a(imax, k);
        a.ref(imax, k) = a(j, k);
        a.ref(j, k) = swap;
      }
      scale[imax - 1] = scale[j - 1];
    }
    factors.index[j - 1] = imax;
    if (a(j, j) == 0.0) a.ref(j, j) = kZeroPivot;
    if (j != n) {
      const double r = 1.0 / a(j, j);
      for (int i = j + 1; i <= n; ++i) a.ref(i, j) = a(i, j) * r;
    }
  }
}

void luSolveInPlace(const LUfactors& factors, double* x) {
  const int rows = factors.lu.rowCount();
  const double* a = factors.lu.data();
  substituteLU(factors.order, factors.index.data(),
               [a, rows](int i, int k) { return a[(k - 1) * rows + (i - 1)]; }, x);
}

Vector LUsolve(const LUfactors& factors, const Vector& b) {
  if (b.size() < factors.order) (void)b(factors.order);  // too short: ends the run as a bad read
  Vector x = b;
  luSolveInPlace(factors, x.data());
  return x;
}

}  // namespace kelm
