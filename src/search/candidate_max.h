#pragma once

#include "numerics/lu.h"
#include "numerics/mathmx.h"
#include "numerics/vector.h"

namespace kelm {

// Every lamination-parameter pair (cos 2 theta, cos 4 theta sums) of a laminate lies in the
// triangle T spanned by V0 = (1, 1), V45 = (0, -1) and V90 = (-1, 1). The open inner positions
// of a partial laminate add s * u to a pair, u anywhere in T; the bounds maximise the
// resulting quadratic increment over T exactly, from its vertices, the stationary points on
// its edges and its interior stationary point.

inline constexpr int kGroups = 4;      // skin in-plane, skin bending, stiffener in-plane, stiffener bending
inline constexpr int kCandidateKinds = 4;  // interior, edge V45-V90, edge V0-V90, edge V0-V45

// The linear systems whose solutions are the candidate points, factorised once per response
// surface: the Hessian block itself (when negative definite) and the block bordered by each
// edge's normal (when not singular).
// A factorised system of order 2 or 3 held in plain arrays next to each other, so the bound's
// many small solves touch one cache line and unroll.
struct SmallFactors {
  int index[3] = {0, 0, 0};
  double lu[9] = {};  // column-stored: element (i, k) at (k - 1) * order + (i - 1)
};

struct CandidateSystems {
  bool solvable[kGroups][kCandidateKinds] = {};
  LUfactors systems[kGroups][kCandidateKinds];
  SmallFactors compact[kGroups][kCandidateKinds];
  // V.(B V) of each vertex V0, V45, V90 with the group's block B: fixed by the surface.
  double vertexForms[kGroups][3] = {};

  // Groups 0..3 take the blocks 11, 22, 33, 44.
  void setLUdecomp(const Mathmx* const hessianBlocks[kGroups]);
};

// The largest value of the bilinear form u . (B v) over u, v in T (at a pair of vertices);
// never negative.
double couplingBound(const Mathmx& block);

// Inside-test tolerances: the iterative method's bound admits candidates outside T by up to
// 1e-15; the joint bound admits none.
inline constexpr double kIterInsideTolerance = 1e-15;
inline constexpr double kJointInsideTolerance = 0.0;

// max(0, max over candidates u of s * (0.5 * s * u.(B u) + u.h)) for group `group`; `hessian`
// is the block B the group's candidate systems were set up from.
double maximiseOverTriangle(const double* gradient, double scale, const Mathmx& hessian,
                            const CandidateSystems& candidates, int group, double tolerance);
inline double maximiseOverTriangle(const Vector& gradient, double scale, const Mathmx& hessian,
                                   const CandidateSystems& candidates, int group,
                                   double tolerance) {
  return maximiseOverTriangle(gradient.data(), scale, hessian, candidates, group, tolerance);
}

}  // namespace kelm
