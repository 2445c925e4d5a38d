#pragma once

// Two-element vectors and 2 x 2 column-stored matrices on plain reals, for the search's hot
// paths. Every sum runs as the guarded Vector and Mathmx operations run it (from 0.0, in index
// order), so skipping their temporaries leaves every value the same to the last bit.

namespace kelm::small {

inline double dot2(const double* a, const double* b) { return (0.0 + a[0] * b[0]) + a[1] * b[1]; }

// out = m x
inline void matVec2(const double* m, const double* x, double* out) {
  out[0] = (0.0 + m[0] * x[0]) + m[2] * x[1];
  out[1] = (0.0 + m[1] * x[0]) + m[3] * x[1];
}

// x . (m x)
inline double quadraticForm2(const double* m, const double* x) {
  double mx[2];
  matVec2(m, x, mx);
  return dot2(x, mx);
}

// x . (m y)
inline double bilinearForm2(const double* x, const double* m, const double* y) {
  double my[2];
  matVec2(m, y, my);
  return dot2(x, my);
}

// out = (t + m u) + n w
inline void affine2(const double* t, const double* m, const double* u, const double* n,
                    const double* w, double* out) {
  double mu[2], nw[2];
  matVec2(m, u, mu);
  matVec2(n, w, nw);
  out[0] = (t[0] + mu[0]) + nw[0];
  out[1] = (t[1] + mu[1]) + nw[1];
}

}  // namespace kelm::small
