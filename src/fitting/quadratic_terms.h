#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "laminate/panel_design.h"

namespace kelm {

// The full quadratic in the eight lamination parameters, in the response-surface file's
// variable order x1..x8 (skin in-plane 2, stiffener in-plane 2, skin bending 2, stiffener
// bending 2): a constant, eight linear terms and 36 products.
inline constexpr int kSurfaceParameters = 8;
inline constexpr int kQuadraticTerms = 45;
using SurfaceParameters = std::array<double, kSurfaceParameters>;
using QuadraticCoefficients = std::array<double, kQuadraticTerms>;

// The terms a fit determines: the full quadratic in some of the eight parameters. A panel reads
// all eight (45 terms); a single laminate (a plate, or a skin designed alone) only the skin's
// x1, x2, x5 and x6 (15 terms), its absent stiffener's parameters being zero throughout.
// Terms come in the fitting order: the constant, each variable, then x_i x_j for i <= j of the
// variables in file order (x_i squared when i == j); a coefficient multiplies its term directly.
class QuadraticTerms {
 public:
  static const QuadraticTerms& panel();
  static const QuadraticTerms& singleLaminate();
  // The set for a stiffener of this total: 0 is a single laminate.
  static const QuadraticTerms& forStiffener(int stiffenerPlyTotal);

  int count() const { return static_cast<int>(codes_.size()); }
  bool isPanel() const { return variables_.size() == kSurfaceParameters; }
  // Indices (0 for x1) of the parameters the terms read.
  const std::vector<int>& variables() const { return variables_; }
  // The file's code of each term.
  const std::vector<std::int32_t>& codes() const { return codes_; }
  // The index of the term x_i x_j (x_i squared when i == j), i and j variables of the set.
  int productIndex(int i, int j) const;
  // The regressors of one point, `count()` of them.
  void row(const SurfaceParameters& x, double* row) const;
  // "x1..x8" or "x1, x2, x5, x6".
  std::string variableNames() const;

 private:
  explicit QuadraticTerms(std::vector<int> variables);
  std::vector<int> variables_;
  std::vector<std::int32_t> codes_;
};

// The file's code of each of the 45 panel terms in the fitting order.
const std::array<std::int32_t, kQuadraticTerms>& quadraticTermCodes();

// The 45 regressors of one point, in the fitting order.
void quadraticRow(const SurfaceParameters& x, double* row);

// A design's parameters in the file's order.
SurfaceParameters fileParameters(const PanelDesign& design);

// The text of a response-surface file with these coefficients, after a comment header (each
// line of `comment` becomes a '#' line); the searches read it back to the bit. The second form
// writes the terms of `terms` only, one coefficient each.
std::string surfaceFileText(const QuadraticCoefficients& coefficients, const std::string& comment);
std::string surfaceFileText(const QuadraticTerms& terms, const std::vector<double>& coefficients,
                            const std::string& comment);

// x1..x8 by name, "x1".."x8" for index 0..7.
std::string parameterName(int index);

}  // namespace kelm
