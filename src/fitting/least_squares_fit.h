#pragma once

#include <string>
#include <vector>

#include "fitting/quadratic_terms.h"

namespace kelm {

// A least-squares fit of a quadratic to analysed designs, with what a designer needs to judge it.
struct QuadraticFit {
  const QuadraticTerms* terms = &QuadraticTerms::panel();
  std::vector<double> coefficients;  // one per term of `terms`, in its order
  int samples = 0;
  double rSquared = 0.0;
  double adjustedRSquared = 0.0;
  double rmsResidual = 0.0;
  double largestResidual = 0.0;  // signed, analysed minus predicted
  int largestResidualRow = 0;    // 1-based row of the samples
  // Leave-one-out (PRESS) residuals from the hat matrix; infinite when a sample decides its
  // own prediction alone (as many samples as terms).
  double pressRms = 0.0;
  double conditionNumber = 0.0;  // of the weighted regressor matrix
  std::vector<double> predicted;
};

// Fits y ~ quadratic(x) by a singular value decomposition of the (weighted) regressor matrix,
// never the normal equations, in the terms of `terms` (the full quadratic of a panel, or of a
// single laminate's four parameters). `weights`: one per sample, or empty for equal weights.
// Refuses, with a message saying why, plans that cannot determine the terms: fewer samples than
// terms, a parameter of the set that does not vary, or a matrix so ill-conditioned that the
// terms are not determined.
QuadraticFit fitQuadratic(const std::vector<SurfaceParameters>& x, const std::vector<double>& y,
                          const std::vector<double>& weights,
                          const QuadraticTerms& terms = QuadraticTerms::panel());

// The fitted surface's file text after the comment header.
std::string fittedSurfaceText(const QuadraticFit& fit, const std::string& comment);

// The fit's diagnostics as the report lines kelm_fit prints for `response`.
std::string fitReport(const QuadraticFit& fit, const std::string& response);

}  // namespace kelm
