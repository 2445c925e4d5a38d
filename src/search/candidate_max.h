#pragma once

#include "numerics/lu.h"
#include "numerics/small_solve.h"
#include "numerics/mathmx.h"
#include "numerics/vector.h"
#include "search/surface_blocks.h"

namespace kelm {

// The open inner positions of a partial laminate add s * u to a lamination-parameter pair, u
// anywhere in the parameter triangle T; the bounds maximise the resulting quadratic increment
// over T exactly, from its vertices, the stationary points on its edges and its interior
// stationary point.

inline constexpr int kCandidateKinds = 4;  // interior, edge V45-V90, edge V0-V90, edge V0-V45

// The linear systems whose solutions are the candidate points, factorised once per response
// surface: the Hessian block itself (when negative definite) and the block bordered by each
// edge's normal (when not singular).
struct CandidateSystems {
  bool solvable[kGroups][kCandidateKinds] = {};
  LUfactors systems[kGroups][kCandidateKinds];
  SmallFactors compact[kGroups][kCandidateKinds];
  // V.(B V) of each vertex V0, V45, V90 with the group's block B: fixed by the surface.
  double vertexForms[kGroups][3] = {};
  // Along each edge u = Va + t d (d = Vb - Va, edges in the order of the candidate kinds):
  // Va.(B d) and d.(B d), for the edge maxima taken along the edge itself.
  double edgeStartSlopes[kGroups][3] = {};
  double edgeCurvatures[kGroups][3] = {};

  // Each group's systems from its own diagonal block.
  void setLUdecomp(const SurfaceBlocks& blocks);
};

// Inside-test tolerances: the iterative method's bound admits candidates outside T by up to
// 1e-15; the joint bound admits none.
inline constexpr double kIterInsideTolerance = 1e-15;
inline constexpr double kJointInsideTolerance = 0.0;

// max(0, max over candidates u of s * (0.5 * s * u.(B u) + u.h)) for group `group`; `hessian`
// is the block B the group's candidate systems were set up from.
double maximiseOverTriangle(const double* gradient, double scale, const Mathmx& hessian,
                            const CandidateSystems& candidates, int group, double tolerance);
// The same maximum with every edge's stationary point found along the edge itself, so that no
// rounding can put it outside T and leave it out: a bound that holds to the last bit. The
// joint bound's specified test skips an edge point computed a hair outside its own edge, where
// the increment may be largest; the tight search and a single laminate's search use this one.
double maximiseOverTriangleOnEdges(const double* gradient, double scale, const Mathmx& hessian,
                                   const CandidateSystems& candidates, int group);

inline double maximiseOverTriangle(const Vector& gradient, double scale, const Mathmx& hessian,
                                   const CandidateSystems& candidates, int group,
                                   double tolerance) {
  return maximiseOverTriangle(gradient.data(), scale, hessian, candidates, group, tolerance);
}

}  // namespace kelm
