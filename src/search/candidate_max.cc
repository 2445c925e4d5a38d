#include "search/candidate_max.h"

#include <cmath>

#include "base/fatal.h"
#include "numerics/small_algebra.h"
#include "search/parameter_triangle.h"

namespace kelm {

namespace {

constexpr double kDeterminantTolerance = 1e-15;

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

// The block bordered by an edge's normal: its solution is the stationary point on that edge.
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

// The vertices each edge runs between (indices into kTriangleVertices), in the order of the
// candidate kinds: V45-V90, V0-V90, V0-V45.
constexpr int kEdgeEnds[3][2] = {{1, 2}, {0, 2}, {0, 1}};

void edgeDirection(int edge, double d[2]) {
  const double* a = kTriangleVertices[kEdgeEnds[edge][0]];
  const double* b = kTriangleVertices[kEdgeEnds[edge][1]];
  d[0] = b[0] - a[0];
  d[1] = b[1] - a[1];
}

// The increment s * (0.5 * s * u.(B u) + u.h) at the point u, given u.(B u), in this order.
inline double incrementAt(double form, const double* h, double s, const double* u) {
  double t = form;
  t = t * s;
  t = t * 0.5;
  t = t + small::dot2(h, u);
  return t * s;
}

// The largest of 0.0 and the increments at the three vertices, the first candidates of both
// maximisations.
double vertexMaximum(const double* h, double s, const CandidateSystems& candidates, int group) {
  double best = 0.0;
  for (int v = 0; v < 3; ++v) {
    const double t = incrementAt(candidates.vertexForms[group][v], h, s, kTriangleVertices[v]);
    if (t > best) best = t;
  }
  return best;
}

}  // namespace

void CandidateSystems::setLUdecomp(const SurfaceBlocks& blocks) {
  for (int g = 0; g < kGroups; ++g) {
    const Mathmx& block = blocks.hessian[g][g];
    for (int v = 0; v < 3; ++v)
      vertexForms[g][v] = small::quadraticForm2(block.data(), kTriangleVertices[v]);
    for (int e = 0; e < 3; ++e) {
      const double* start = kTriangleVertices[kEdgeEnds[e][0]];
      double d[2];
      edgeDirection(e, d);
      edgeStartSlopes[g][e] = small::bilinearForm2(start, block.data(), d);
      edgeCurvatures[g][e] = small::quadraticForm2(block.data(), d);
    }
    // Only a negative definite block has an interior maximum.
    solvable[g][0] = determinant(block) > 0.0 && trace(block) < 0.0;
    if (solvable[g][0]) {
      LUdecomp(systems[g][0], block);
      compact[g][0] = compactFactors(systems[g][0]);
    }
  }
  for (int e = 1; e <= 3; ++e) {
    for (int g = 0; g < kGroups; ++g) {
      const Mathmx k = borderedSystem(blocks.hessian[g][g], e);
      solvable[g][e] = std::fabs(determinant(k)) > kDeterminantTolerance;
      if (solvable[g][e]) {
        LUdecomp(systems[g][e], k);
        compact[g][e] = compactFactors(systems[g][e]);
      }
    }
  }
}

// The maximum is taken with a strict comparison from 0.0, so the order in which the candidates
// are visited does not change the result.
double maximiseOverTriangle(const double* gradient, double s, const Mathmx& hessian,
                            const CandidateSystems& candidates, int group, double tolerance) {
  const double h[2] = {gradient[0], gradient[1]};
  const double* b = hessian.data();
  double best = vertexMaximum(h, s, candidates, group);
  const double scale = -s;
  const double rhs1 = h[0] / scale;
  const double rhs2 = h[1] / scale;
  auto consider = [&](const double* u) {
    if (!insideTriangle(u[0], u[1], tolerance)) return;
    const double t = incrementAt(small::quadraticForm2(b, u), h, s, u);
    if (t > best) best = t;
  };
  if (candidates.solvable[group][0]) {
    double x[2] = {rhs1, rhs2};
    solveSmall2(candidates.compact[group][0], x);
    consider(x);
  }
  for (int e = 1; e <= 3; ++e) {
    if (!candidates.solvable[group][e]) continue;
    double x[3] = {rhs1, rhs2, -1.0};
    solveSmall3(candidates.compact[group][e], x);
    consider(x);
  }
  return best;
}

double maximiseOverTriangleOnEdges(const double* gradient, double s, const Mathmx& hessian,
                                   const CandidateSystems& candidates, int group) {
  const double h[2] = {gradient[0], gradient[1]};
  const double* b = hessian.data();
  double best = vertexMaximum(h, s, candidates, group);
  // An interior maximum lies inside T; one computed a hair outside is an edge's.
  if (candidates.solvable[group][0]) {
    double x[2] = {h[0] / -s, h[1] / -s};
    solveSmall2(candidates.compact[group][0], x);
    if (insideTriangle(x[0], x[1], kIterInsideTolerance)) {
      const double t = incrementAt(small::quadraticForm2(b, x), h, s, x);
      if (t > best) best = t;
    }
  }
  // Along an edge the increment is s^2/2 t^2 d.(B d) + t (s^2 Va.(B d) + s d.h) + const, with a
  // maximum inside the edge only where it curves down.
  for (int e = 0; e < 3; ++e) {
    const double curvature = candidates.edgeCurvatures[group][e];
    if (!(curvature < 0.0)) continue;
    double d[2];
    edgeDirection(e, d);
    const double slope = s * candidates.edgeStartSlopes[group][e] + small::dot2(h, d);
    const double t = -slope / (s * curvature);
    if (!(t > 0.0 && t < 1.0)) continue;
    const double* a = kTriangleVertices[kEdgeEnds[e][0]];
    const double u[2] = {a[0] + t * d[0], a[1] + t * d[1]};
    const double value = incrementAt(small::quadraticForm2(b, u), h, s, u);
    if (value > best) best = value;
  }
  return best;
}

}  // namespace kelm
