#pragma once

// Small builders shared by the search tests: response surfaces from term lists or from a seed,
// stacking sequences from codes, and a direct evaluation of the objective from the term list
// that does not go through the surface's blocks.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "search/active_design.h"
#include "laminate/stacking_sequence.h"
#include "response/response_surface.h"
#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"

namespace kelm::testing {

// Term codes of the surface file: hexadecimal digit i (from the right, 1-based) is the power
// of variable x_i. x1, x2 skin in-plane; x3, x4 stiffener in-plane; x5, x6 skin bending;
// x7, x8 stiffener bending.
inline std::int32_t linearCode(int var) { return std::int32_t{1} << (4 * (var - 1)); }
inline std::int32_t squareCode(int var) { return std::int32_t{2} << (4 * (var - 1)); }
inline std::int32_t productCode(int a, int b) { return linearCode(a) + linearCode(b); }

using Term = std::pair<std::int32_t, double>;

inline ResponseSurface makeSurface(const std::vector<Term>& terms) {
  ResponseSurface surface;
  for (const auto& [code, coefficient] : terms) surface.appendTerm(code, coefficient);
  surface.build();
  return surface;
}

struct RandomSurfaceOptions {
  bool sparse = false;  // about two terms in three are left out
  // Squares of each laminate's own pair dominate their product, so the blocks 11, 22, 33 and 44
  // are negative definite and the bound has interior stationary points to consider.
  bool negativeDefiniteBlocks = false;
};

// All 45 terms (constant, 8 linear, 8 squares, 28 products) drawn from the seed.
inline std::vector<Term> randomTerms(std::uint32_t seed, RandomSurfaceOptions options = {}) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> coefficient(-1.0, 1.0);
  std::uniform_int_distribution<int> keep(0, 2);
  // The variable pairs that form one diagonal block.
  auto samePair = [](int a, int b) { return (a + 1) / 2 == (b + 1) / 2; };
  std::vector<Term> terms;
  auto add = [&](std::int32_t code, double value) {
    if (!options.sparse || keep(random) == 0) terms.emplace_back(code, value);
  };
  add(0, coefficient(random));
  for (int i = 1; i <= 8; ++i) add(linearCode(i), coefficient(random));
  for (int i = 1; i <= 8; ++i) {
    const double c = coefficient(random);
    if (options.negativeDefiniteBlocks)
      terms.emplace_back(squareCode(i), -1.0 - std::fabs(c));  // diagonal entry in [-4, -2]
    else
      add(squareCode(i), c);
  }
  for (int i = 1; i <= 8; ++i)
    for (int j = i + 1; j <= 8; ++j) {
      const double c = coefficient(random);
      if (options.negativeDefiniteBlocks && samePair(i, j))
        terms.emplace_back(productCode(i, j), c);  // |c| < 1 keeps the determinant above 3
      else
        add(productCode(i, j), c);
    }
  return terms;
}

inline ResponseSurface randomSurface(std::uint32_t seed, RandomSurfaceOptions options = {}) {
  return makeSurface(randomTerms(seed, options));
}

// A half laminate of the given ply total with its outer positions set to `codes`.
inline StackingSequence makeSequence(int plyTotal, std::initializer_list<int> codes) {
  StackingSequence sequence;
  sequence.setPlyTotal(plyTotal);
  int position = 0;
  for (int code : codes) sequence.setTheta(++position, code);
  return sequence;
}

inline StackingSequence makeSequence(int plyTotal, const std::vector<int>& codes) {
  StackingSequence sequence;
  sequence.setPlyTotal(plyTotal);
  for (std::size_t i = 0; i < codes.size(); ++i)
    sequence.setTheta(static_cast<int>(i) + 1, codes[i]);
  return sequence;
}

inline ActiveDesign makeDesign(const StackingSequence& skin, const StackingSequence& stiffener,
                               bool skinActive) {
  ActiveDesign design;
  design.design.skin = skin;
  design.design.stiffener = stiffener;
  design.skinActive = skinActive;
  return design;
}

// Switches on a random mix of the design guidelines (each about half the time).
inline void addRandomGuidelines(LaminateRules& rules, std::mt19937& random) {
  std::uniform_int_distribution<int> pick(0, 5);
  const int share = pick(random);
  rules.minSharePercent = share < 3 ? 0.0 : share == 3 ? 10.0 : 20.0;
  rules.maxRun = std::max(0, pick(random) - 2);  // 0 half the time, else 1 to 3
  rules.noCrossPlyJump = pick(random) < 3;
  rules.outer45 = pick(random) < 3;
}

// Fixed numbers of 0 and 45 deg positions, the rest 90 deg, as the ply-number dialog sets them.
inline LaminateRules randomFixedNumbers(int plyTotal, std::mt19937& random) {
  LaminateRules rules;
  rules.balance = false;
  const int h = plyTotal - plyTotal / 2;
  rules.ply0 = std::uniform_int_distribution<int>(0, h)(random);
  rules.ply45 = std::uniform_int_distribution<int>(0, h - rules.ply0)(random);
  rules.ply90 = h - rules.ply0 - rules.ply45;
  rules.plyMin = std::min({rules.ply0, rules.ply45, rules.ply90});
  rules.plyNumbersFixed = true;
  return rules;
}

// Without bending terms the order of the plies does not matter: many designs tie.
inline std::vector<Term> inPlaneOnly(const std::vector<Term>& terms) {
  std::vector<Term> kept;
  for (const Term& term : terms)
    if ((term.first >> 16) == 0) kept.push_back(term);
  return kept;
}

// The designs of a search as sorted text, so searches that find them in different orders
// compare equal; duplicates stay visible.
inline std::vector<std::string> sortedDesignTexts(const std::vector<PanelDesign>& designs) {
  std::vector<std::string> texts;
  for (const PanelDesign& d : designs)
    texts.push_back(d.skin.bracketText() + " " + d.stiffener.bracketText());
  std::sort(texts.begin(), texts.end());
  return texts;
}

// Rules that allow every sequence of codes 0, 1 and 2.
inline LaminateRules freeRules() {
  LaminateRules rules;
  rules.balance = false;
  return rules;
}

// Calls f with every completion of `partial` over the codes 0, 1 and 2.
template <typename F>
void forEachCompletion(const StackingSequence& partial, F&& f) {
  if (partial.complete()) {
    f(partial);
    return;
  }
  for (int code = 0; code < 3; ++code) {
    StackingSequence child = partial;
    child.setTheta(child.setCount() + 1, code);
    forEachCompletion(child, f);
  }
}

// The objective summed term by term from the surface's term list (the first line of a code
// counts), independent of how the surface arranges its blocks.
inline double directObjective(const ResponseSurface& surface, const StackingSequence& skin,
                              const StackingSequence& stiffener) {
  const double* s = skin.parameters();
  const double* t = stiffener.parameters();
  const double x[9] = {0.0, s[0], s[1], t[0], t[1], s[2], s[3], t[2], t[3]};
  double sum = 0.0;
  std::set<std::int32_t> seen;
  for (std::size_t k = 0; k < surface.termCodes().size(); ++k) {
    const std::int32_t code = surface.termCodes()[k];
    if (!seen.insert(code).second) continue;
    double monomial = surface.termValues()[k];
    for (int i = 1; i <= 8; ++i)
      for (int power = (code >> (4 * (i - 1))) & 0xf; power > 0; --power) monomial *= x[i];
    sum += monomial;
  }
  return sum;
}

}  // namespace kelm::testing
