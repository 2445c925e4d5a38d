#include "search/candidate_max.h"

#include <cmath>

#include "run/fatal.h"

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

// The solve of the LU factors for a fixed order, so that it unrolls.
template <int N>
void solveCompact(const SmallFactors& f, double* x) {
  substituteLU(N, f.index, [&f](int i, int k) { return f.lu[(k - 1) * N + (i - 1)]; }, x);
}

}  // namespace

void CandidateSystems::setLUdecomp(const Mathmx* const hessianBlocks[kGroups]) {
  for (int g = 0; g < kGroups; ++g) {
    const Mathmx& block = *hessianBlocks[g];
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

namespace {

// u . (B u) and u . h for two-element u, with the sums and products in the order of the
// guarded Vector and Mathmx operations (each sum starts from 0.0), so the values are the same
// to the last bit.
double quadraticForm(const double* b, const double* u) {
  const double r1 = (0.0 + b[0] * u[0]) + b[2] * u[1];
  const double r2 = (0.0 + b[1] * u[0]) + b[3] * u[1];
  double sum = 0.0;
  sum += r1 * u[0];
  sum += r2 * u[1];
  return sum;
}

double dot2(const double* h, const double* u) {
  double sum = 0.0;
  sum += h[0] * u[0];
  sum += h[1] * u[1];
  return sum;
}

}  // namespace

double maximiseOverTriangle(const Vector& gradient, double s, const Mathmx& hessian,
                            const CandidateSystems& candidates, int group, double tolerance) {
  const double h[2] = {gradient(1), gradient(2)};
  const double* b = hessian.data();
  // Slots 4..6 hold the vertices; computed candidates fill the slots from 3 downwards.
  double slots[7][2] = {};
  for (int v = 0; v < 3; ++v) {
    slots[4 + v][0] = kVertices[v][0];
    slots[4 + v][1] = kVertices[v][1];
  }
  const double scale = -s;
  const double rhs1 = h[0] / scale;
  const double rhs2 = h[1] / scale;
  int freeSlot = 3;
  if (candidates.solvable[group][0]) {
    double x[2] = {rhs1, rhs2};
    solveCompact<2>(candidates.compact[group][0], x);
    slots[freeSlot][0] = x[0];
    slots[freeSlot][1] = x[1];
    --freeSlot;
  }
  for (int e = 1; e <= 3; ++e) {
    if (!candidates.solvable[group][e]) continue;
    double x[3] = {rhs1, rhs2, -1.0};
    solveCompact<3>(candidates.compact[group][e], x);
    slots[freeSlot][0] = x[0];
    slots[freeSlot][1] = x[1];
    --freeSlot;
  }
  double best = 0.0;
  for (int slot = freeSlot + 1; slot <= 6; ++slot) {
    const double* u = slots[slot];
    if (slot < 4 && !insideTriangle(u[0], u[1], tolerance)) continue;
    double t = quadraticForm(b, u);
    t = t * s;
    t = t * 0.5;
    t = t + dot2(h, u);
    t = t * s;
    if (t > best) best = t;
  }
  return best;
}

}  // namespace kelm
