#include "fitting/quadratic_terms.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace kelm {

namespace {
std::int32_t digit(int variable, std::int32_t value) { return value << (4 * variable); }
}  // namespace

QuadraticTerms::QuadraticTerms(std::vector<int> variables) : variables_(std::move(variables)) {
  codes_.push_back(0);
  for (const int i : variables_) codes_.push_back(digit(i, 1));
  for (std::size_t a = 0; a < variables_.size(); ++a)
    for (std::size_t b = a; b < variables_.size(); ++b)
      codes_.push_back(a == b ? digit(variables_[a], 2)
                              : digit(variables_[a], 1) + digit(variables_[b], 1));
}

const QuadraticTerms& QuadraticTerms::panel() {
  static const QuadraticTerms terms({0, 1, 2, 3, 4, 5, 6, 7});
  return terms;
}

const QuadraticTerms& QuadraticTerms::singleLaminate() {
  static const QuadraticTerms terms({0, 1, 4, 5});
  return terms;
}

const QuadraticTerms& QuadraticTerms::forStiffener(int stiffenerPlyTotal) {
  return stiffenerPlyTotal == 0 ? singleLaminate() : panel();
}

int QuadraticTerms::productIndex(int i, int j) const {
  const std::int32_t code = i == j ? digit(i, 2) : digit(i, 1) + digit(j, 1);
  return static_cast<int>(std::find(codes_.begin(), codes_.end(), code) - codes_.begin());
}

void QuadraticTerms::row(const SurfaceParameters& x, double* row) const {
  int k = 0;
  row[k++] = 1.0;
  for (const int i : variables_) row[k++] = x[i];
  for (std::size_t a = 0; a < variables_.size(); ++a)
    for (std::size_t b = a; b < variables_.size(); ++b) row[k++] = x[variables_[a]] * x[variables_[b]];
}

std::string QuadraticTerms::variableNames() const {
  if (isPanel()) return "x1..x8";
  std::string names;
  for (const int i : variables_) names += (names.empty() ? "" : ", ") + parameterName(i);
  return names;
}

const std::array<std::int32_t, kQuadraticTerms>& quadraticTermCodes() {
  static const std::array<std::int32_t, kQuadraticTerms> codes = [] {
    std::array<std::int32_t, kQuadraticTerms> c{};
    std::copy(QuadraticTerms::panel().codes().begin(), QuadraticTerms::panel().codes().end(), c.begin());
    return c;
  }();
  return codes;
}

void quadraticRow(const SurfaceParameters& x, double* row) { QuadraticTerms::panel().row(x, row); }

SurfaceParameters fileParameters(const PanelDesign& design) {
  const double* s = design.skin.parameters();
  const double* t = design.stiffener.parameters();
  return {s[0], s[1], t[0], t[1], s[2], s[3], t[2], t[3]};
}

std::string surfaceFileText(const QuadraticTerms& terms, const std::vector<double>& coefficients,
                            const std::string& comment) {
  std::string text;
  std::istringstream lines(comment);
  for (std::string line; std::getline(lines, line);) text += "# " + line + "\n";
  const auto& codes = terms.codes();
  for (int k = 0; k < terms.count(); ++k) {
    char line[64];
    std::snprintf(line, sizeof line, "%x\t%.17g\n", static_cast<unsigned>(codes[k]), coefficients[k]);
    text += line;
  }
  return text;
}

std::string surfaceFileText(const QuadraticCoefficients& coefficients, const std::string& comment) {
  return surfaceFileText(QuadraticTerms::panel(),
                         std::vector<double>(coefficients.begin(), coefficients.end()), comment);
}

std::string parameterName(int index) { return "x" + std::to_string(index + 1); }

}  // namespace kelm
