#include "search/candidate_max.h"

#include <cmath>

#include "base/fatal.h"

namespace kelm {

namespace {

constexpr double kDeterminantTolerance = 1e-15;
constexpr double kVertices[3][2] = {{1.0, 1.0}, {0.0, -1.0}, {-1.0, 1.0}};  // V0, V45, V90

// Normal (p, q) of edge e: V45-V90 is 2u1 + u2 = -1, V0-V90 is -u2 = -1, V0-V45 is
// -2u1 + u2 = -1.
void edgeNormal(int edge, double& p, double& q) {
  switch (edge) {
    case 1: p = 2.0; q = 1.0; return;
    case 2: p = 0.0; q = -1.0; return;
    case 3: p = -2.0; q = 1.0; return;
    default: fatal(Stream::Err, "error: setLUdecomp!", false);
  }
}

Mathmx borderedSystem(const Mathmx& block, int edge) {
  double p, q;
  edgeNormal(edge, p, q);
  Mathmx k(3, 3);
  k.ref(1, 1) = block(1, 1);
  k.ref(1, 2) = block(1, 2);
  k.ref(1, 3) = p;
  k.ref(2, 1) = block(2, 1);
  k.ref(2, 2) = block(2, 2);
  k.ref(2, 3) = q;
  k.ref(3, 1) = p;
  k.ref(3, 2) = q;
  k.ref(3, 3) = 0.0;
  return k;
}

bool insideTriangle(double u1, double u2, double tolerance) {
  return !(u2 + 2.0 * u1 + 1.0 < -tolerance || u2 - 2.0 * u1 + 1.0 < -tolerance ||
           u2 - 1.0 > tolerance);
}

}  // namespace

namespace {

SmallFactors compactOf(const LUfactors& factors) {
  SmallFactors compact;
  const int n = factors.order;
  for (int i = 0; i < n; ++i) compact.index[i] = factors.index[i];
  for (int i = 0; i < n * n; ++i) compact.lu[i] = factors.lu.data()[i];
  return compact;
}

// The LU solve written out for orders 2 and 3: the same operations in the same order as the
// general substitution (leading zeros of the right-hand side skipped, then back substitution),
// so the solutions agree to the bit.
inline double luAt(const SmallFactors& f, int order, int i, int k) {
  return f.lu[(k - 1) * order + (i - 1)];
}

void solveOrder2(const SmallFactors& f, double* x) {
  double sum = x[f.index[0] - 1];
  x[f.index[0] - 1] = x[0];
  const bool leadingZero = !(sum != 0.0);
  x[0] = sum;
  sum = x[f.index[1] - 1];
  x[f.index[1] - 1] = x[1];
  if (!leadingZero) sum = sum - luAt(f, 2, 2, 1) * x[0];
  x[1] = sum;
  x[1] = x[1] / luAt(f, 2, 2, 2);
  x[0] = (x[0] - luAt(f, 2, 1, 2) * x[1]) / luAt(f, 2, 1, 1);
}

void solveOrder3(const SmallFactors& f, double* x) {
  int first = 0;
  double sum = x[f.index[0] - 1];
  x[f.index[0] - 1] = x[0];
  if (sum != 0.0) first = 1;
  x[0] = sum;
  sum = x[f.index[1] - 1];
  x[f.index[1] - 1] = x[1];
  if (first != 0) {
    sum = sum - luAt(f, 3, 2, 1) * x[0];
  } else if (sum != 0.0) {
    first = 2;
  }
  x[1] = sum;
  sum = x[f.index[2] - 1];
  x[f.index[2] - 1] = x[2];
  if (first == 1) sum = sum - luAt(f, 3, 3, 1) * x[0];
  if (first == 1 || first == 2) sum = sum - luAt(f, 3, 3, 2) * x[1];
  x[2] = sum;
  x[2] = x[2] / luAt(f, 3, 3, 3);
  x[1] = (x[1] - luAt(f, 3, 2, 3) * x[2]) / luAt(f, 3, 2, 2);
  x[0] = ((x[0] - luAt(f, 3, 1, 2) * x[1]) - luAt(f, 3, 1, 3) * x[2]) / luAt(f, 3, 1, 1);
}

}  // namespace

namespace {

// u . (B u) and u . h for two-element u, with the sums and products in the order of the
// guarded Vector and Mathmx operations (each sum starts from 0.0), so the values are the same
// to the last bit.
inline double quadraticForm(const double* b, double u0, double u1) {
  const double r1 = (0.0 + b[0] * u0) + b[2] * u1;
  const double r2 = (0.0 + b[1] * u0) + b[3] * u1;
  return (0.0 + r1 * u0) + r2 * u1;
}

inline double dot2(const double* h, double u0, double u1) { return (0.0 + h[0] * u0) + h[1] * u1; }

// The increment s * (0.5 * s * u.(B u) + u.h) at the point u, given u.(B u).
inline double incrementAt(double form, const double* h, double s, double u0, double u1) {
  double t = form;
  t = t * s;
  t = t * 0.5;
  t = t + dot2(h, u0, u1);
  return t * s;
}

}  // namespace

void CandidateSystems::setLUdecomp(const Mathmx* const hessianBlocks[kGroups]) {
  for (int g = 0; g < kGroups; ++g) {
    const Mathmx& block = *hessianBlocks[g];
    for (int v = 0; v < 3; ++v)
      vertexForms[g][v] = quadraticForm(block.data(), kVertices[v][0], kVertices[v][1]);
    // Only a negative definite block has an interior maximum.
    solvable[g][0] = determinant(block) > 0.0 && trace(block) < 0.0;
    if (solvable[g][0]) {
      LUdecomp(systems[g][0], block);
      compact[g][0] = compactOf(systems[g][0]);
    }
  }
  for (int e = 1; e <= 3; ++e) {
    for (int g = 0; g < kGroups; ++g) {
      const Mathmx k = borderedSystem(*hessianBlocks[g], e);
      solvable[g][e] = std::fabs(determinant(k)) > kDeterminantTolerance;
      if (solvable[g][e]) {
        LUdecomp(systems[g][e], k);
        compact[g][e] = compactOf(systems[g][e]);
      }
    }
  }
}

double couplingBound(const Mathmx& block) {
  double best = 0.0;
  for (const auto& vi : kVertices) {
    for (const auto& vj : kVertices) {
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


// The maximum is taken with a strict comparison from 0.0, so the order in which the candidates
// are visited does not change the result.
double maximiseOverTriangle(const double* gradient, double s, const Mathmx& hessian,
                            const CandidateSystems& candidates, int group, double tolerance) {
  const double h[2] = {gradient[0], gradient[1]};
  const double* b = hessian.data();
  double best = 0.0;
  for (int v = 0; v < 3; ++v) {
    const double t =
        incrementAt(candidates.vertexForms[group][v], h, s, kVertices[v][0], kVertices[v][1]);
    if (t > best) best = t;
  }
  const double scale = -s;
  const double rhs1 = h[0] / scale;
  const double rhs2 = h[1] / scale;
  auto consider = [&](double u0, double u1) {
    if (!insideTriangle(u0, u1, tolerance)) return;
    const double t = incrementAt(quadraticForm(b, u0, u1), h, s, u0, u1);
    if (t > best) best = t;
  };
  if (candidates.solvable[group][0]) {
    double x[2] = {rhs1, rhs2};
    solveOrder2(candidates.compact[group][0], x);
    consider(x[0], x[1]);
  }
  for (int e = 1; e <= 3; ++e) {
    if (!candidates.solvable[group][e]) continue;
    double x[3] = {rhs1, rhs2, -1.0};
    solveOrder3(candidates.compact[group][e], x);
    consider(x[0], x[1]);
  }
  return best;
}

}  // namespace kelm
