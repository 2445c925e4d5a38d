#include "fitting/quadratic_terms.h"

#include <cstdio>
#include <sstream>

namespace kelm {

namespace {
std::int32_t digit(int variable, std::int32_t value) { return value << (4 * variable); }
}  // namespace

const std::array<std::int32_t, kQuadraticTerms>& quadraticTermCodes() {
  static const std::array<std::int32_t, kQuadraticTerms> codes = [] {
    std::array<std::int32_t, kQuadraticTerms> c{};
    int k = 0;
    c[k++] = 0;
    for (int i = 0; i < kSurfaceParameters; ++i) c[k++] = digit(i, 1);
    for (int i = 0; i < kSurfaceParameters; ++i)
      for (int j = i; j < kSurfaceParameters; ++j)
        c[k++] = i == j ? digit(i, 2) : digit(i, 1) + digit(j, 1);
    return c;
  }();
  return codes;
}

void quadraticRow(const SurfaceParameters& x, double* row) {
  int k = 0;
  row[k++] = 1.0;
  for (int i = 0; i < kSurfaceParameters; ++i) row[k++] = x[i];
  for (int i = 0; i < kSurfaceParameters; ++i)
    for (int j = i; j < kSurfaceParameters; ++j) row[k++] = x[i] * x[j];
}

SurfaceParameters fileParameters(const PanelDesign& design) {
  const double* s = design.skin.parameters();
  const double* t = design.stiffener.parameters();
  return {s[0], s[1], t[0], t[1], s[2], s[3], t[2], t[3]};
}

std::string surfaceFileText(const QuadraticCoefficients& coefficients, const std::string& comment) {
  std::string text;
  std::istringstream lines(comment);
  for (std::string line; std::getline(lines, line);) text += "# " + line + "\n";
  const auto& codes = quadraticTermCodes();
  for (int k = 0; k < kQuadraticTerms; ++k) {
    char line[64];
    std::snprintf(line, sizeof line, "%x\t%.17g\n", static_cast<unsigned>(codes[k]), coefficients[k]);
    text += line;
  }
  return text;
}

std::string parameterName(int index) { return "x" + std::to_string(index + 1); }

}  // namespace kelm
