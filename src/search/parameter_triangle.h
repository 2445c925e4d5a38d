#pragma once

namespace kelm {

// Every lamination-parameter pair (cos 2 theta, cos 4 theta sums) of a laminate lies in the
// triangle T spanned by V0 = (1, 1), V45 = (0, -1) and V90 = (-1, 1), the pairs of the three
// searched orientations.
inline constexpr double kTriangleVertices[3][2] = {{1.0, 1.0}, {0.0, -1.0}, {-1.0, 1.0}};

// Whether u lies in T, or outside it by no more than `tolerance` across an edge.
inline bool insideTriangle(double u1, double u2, double tolerance) {
  return !(u2 + 2.0 * u1 + 1.0 < -tolerance || u2 - 2.0 * u1 + 1.0 < -tolerance ||
           u2 - 1.0 > tolerance);
}

}  // namespace kelm
