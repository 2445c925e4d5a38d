#include "fitting/least_squares_fit.h"

#include <Eigen/SVD>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/fatal.h"
#include "response/rs_file.h"

namespace kelm {

namespace {

// Beyond this the smallest singular value is rounding noise of the largest: some combination
// of terms is not determined by the samples.
constexpr double kLargestConditionNumber = 1e10;

void refuseUndeterminedPlans(const std::vector<SurfaceParameters>& x, const QuadraticTerms& terms) {
  const int n = static_cast<int>(x.size());
  if (n < terms.count())
    fatal(Stream::Err, "error: " + std::to_string(n) + " samples cannot determine the " +
                           std::to_string(terms.count()) +
                           " terms of the quadratic: give at least " +
                           std::to_string(terms.count()), true);
  for (const int i : terms.variables()) {
    bool varies = false;
    for (const SurfaceParameters& point : x) varies = varies || point[i] != x.front()[i];
    if (!varies)
      fatal(Stream::Err, "error: " + parameterName(i) + " does not vary in the samples: its terms "
                         "cannot be determined (the rules may fix it; fit a surface without it)",
            true);
  }
}

// Responses a surface the searches can bound cannot reach: their squares in the sums of the
// fit's statistics would leave the range of numbers and R² would come out NaN.
void refuseUnboundedResponses(const std::vector<double>& y) {
  for (std::size_t s = 0; s < y.size(); ++s) {
    if (std::fabs(y[s]) <= kLargestSurfaceSize) continue;
    char message[200];
    std::snprintf(message, sizeof message,
                  "error: the response of row %zu is %.3g, beyond what a surface the searches bound "
                  "can reach (%.0e at most): scale the responses",
                  s + 1, y[s], kLargestSurfaceSize);
    fatal(Stream::Err, message, true);
  }
}

Eigen::MatrixXd regressors(const std::vector<SurfaceParameters>& x, const Eigen::VectorXd& root,
                           const QuadraticTerms& terms) {
  Eigen::MatrixXd a(static_cast<Eigen::Index>(x.size()), terms.count());
  double row[kQuadraticTerms];
  for (std::size_t s = 0; s < x.size(); ++s) {
    terms.row(x[s], row);
    for (int k = 0; k < terms.count(); ++k) a(s, k) = row[k] * root(s);
  }
  return a;
}

void residualStatistics(QuadraticFit& fit, const std::vector<double>& y, const Eigen::VectorXd& w,
                        const Eigen::VectorXd& leverage) {
  const int n = fit.samples;
  const int p = fit.terms->count();
  double weightSum = 0.0, mean = 0.0;
  for (int s = 0; s < n; ++s) {
    weightSum += w(s);
    mean += w(s) * y[s];
  }
  mean /= weightSum;
  double sse = 0.0, sst = 0.0, press = 0.0;
  for (int s = 0; s < n; ++s) {
    const double e = y[s] - fit.predicted[s];
    sse += w(s) * e * e;
    sst += w(s) * (y[s] - mean) * (y[s] - mean);
    const double out = 1.0 - leverage(s);
    press += out > 1e-12 ? w(s) * (e / out) * (e / out) : std::numeric_limits<double>::infinity();
    if (std::fabs(e) > std::fabs(fit.largestResidual) || s == 0) {
      fit.largestResidual = e;
      fit.largestResidualRow = s + 1;
    }
  }
  fit.rSquared = sst > 0.0 ? 1.0 - sse / sst : 1.0;
  fit.adjustedRSquared = n > p
                             ? 1.0 - (1.0 - fit.rSquared) * (n - 1) / (n - p)
                             : std::numeric_limits<double>::quiet_NaN();
  fit.rmsResidual = std::sqrt(sse / weightSum);
  fit.pressRms = std::sqrt(press / weightSum);
}

}  // namespace

QuadraticFit fitQuadratic(const std::vector<SurfaceParameters>& x, const std::vector<double>& y,
                          const std::vector<double>& weights, const QuadraticTerms& terms) {
  refuseUndeterminedPlans(x, terms);
  refuseUnboundedResponses(y);
  const int n = static_cast<int>(x.size());
  Eigen::VectorXd w = Eigen::VectorXd::Ones(n);
  for (int s = 0; s < n && !weights.empty(); ++s) {
    if (!(weights[s] > 0.0)) fatal(Stream::Err, "error: weight of row " + std::to_string(s + 1) +
                                                    " is not a positive number", true);
    w(s) = weights[s];
  }
  const Eigen::VectorXd root = w.cwiseSqrt();
  const Eigen::MatrixXd a = regressors(x, root, terms);
  Eigen::VectorXd b(n);
  for (int s = 0; s < n; ++s) b(s) = y[s] * root(s);
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(a, Eigen::ComputeThinU | Eigen::ComputeThinV);
  const Eigen::VectorXd sigma = svd.singularValues();
  QuadraticFit fit;
  fit.terms = &terms;
  fit.samples = n;
  fit.conditionNumber = sigma(sigma.size() - 1) > 0.0 ? sigma(0) / sigma(sigma.size() - 1)
                                                      : std::numeric_limits<double>::infinity();
  if (!(fit.conditionNumber < kLargestConditionNumber)) {
    char message[200];
    std::snprintf(message, sizeof message,
                  "error: the samples do not determine every term of the quadratic (condition "
                  "number %.3g): add samples that vary the parameters more", fit.conditionNumber);
    fatal(Stream::Err, message, true);
  }
  const Eigen::VectorXd c = svd.solve(b);
  fit.coefficients.assign(c.data(), c.data() + terms.count());
  const Eigen::VectorXd leverage = svd.matrixU().rowwise().squaredNorm();
  fit.predicted.resize(n);
  double row[kQuadraticTerms];
  for (int s = 0; s < n; ++s) {
    terms.row(x[s], row);
    double value = 0.0;
    for (int k = 0; k < terms.count(); ++k) value += c(k) * row[k];
    fit.predicted[s] = value;
  }
  residualStatistics(fit, y, w, leverage);
  // Weights far apart in size can still take a sum out of the range of numbers.
  if (!std::isfinite(fit.rSquared) || !std::isfinite(fit.rmsResidual))
    fatal(Stream::Err, "error: the fit's sums leave the range of numbers: scale the responses or the weights", true);
  return fit;
}

std::string fitReport(const QuadraticFit& fit, const std::string& response) {
  char text[600];
  std::snprintf(text, sizeof text,
                "response %s: %d samples, %d terms\n"
                "  R^2 %.6f, adjusted R^2 %.6f\n"
                "  RMS residual %.6g, largest %.6g (row %d)\n"
                "  leave-one-out (PRESS) RMS %.6g\n"
                "  condition number %.4g\n",
                response.c_str(), fit.samples, fit.terms->count(), fit.rSquared, fit.adjustedRSquared, fit.rmsResidual,
                fit.largestResidual, fit.largestResidualRow, fit.pressRms, fit.conditionNumber);
  return text;
}

std::string fittedSurfaceText(const QuadraticFit& fit, const std::string& comment) {
  return surfaceFileText(*fit.terms, fit.coefficients, comment);
}

}  // namespace kelm
