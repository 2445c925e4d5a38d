#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "alt/exhaustive_search.h"
#include "alt/simultaneous_search.h"
#include "laminate/design_rules.h"
#include "support/capture.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

using testing::Term;

// Only the skin's parameters x1, x2, x5 and x6 and their products.
std::vector<Term> skinTerms(std::uint32_t seed) {
  std::vector<Term> terms;
  for (const Term& term : testing::randomTerms(seed, {.negativeDefiniteBlocks = seed % 2 == 0})) {
    bool stiffener = false;
    for (int variable : {3, 4, 7, 8}) stiffener |= ((term.first >> (4 * (variable - 1))) & 0xf) != 0;
    if (!stiffener) terms.push_back(term);
  }
  terms.insert(terms.begin(), Term{0, 3.0});
  return terms;
}

// Every allowed laminate, valued term by term: the optimum and its ties (within 1e-13 of the
// largest value, nothing below 0, as the searches list them).
std::vector<std::string> bruteForceOptima(const ResponseSurface& surface, const LaminateRules& rules,
                                          int plies) {
  StackingSequence empty;
  empty.setPlyTotal(plies);
  StackingSequence none;
  none.setPlyTotal(0);
  std::vector<std::pair<double, std::string>> all;
  testing::forEachCompletion(empty, [&](const StackingSequence& s) {
    if (checkComplete(s, rules)) all.emplace_back(testing::directObjective(surface, s, none), s.bracketText());
  });
  double best = 0.0;
  for (const auto& [value, text] : all) best = std::max(best, value);
  std::vector<std::string> optima;
  for (const auto& [value, text] : all)
    if (value > best - 1e-9) optima.push_back(text);
  std::sort(optima.begin(), optima.end());
  return optima;
}

std::vector<std::string> skinTexts(const std::vector<PanelDesign>& designs) {
  std::vector<std::string> texts;
  for (const PanelDesign& d : designs) {
    EXPECT_EQ(d.stiffener.plyCount(), 0);
    texts.push_back(d.skin.bracketText());
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

// One laminate (the stiffener absent: 0 plies) in every search, against every allowed laminate
// valued directly; with a second mode and a requirement, the K best, and the tree shared out
// among threads, against the exhaustive search.
TEST(SingleLaminateTest, EverySearchFindsExactlyTheOptimaOfOneLaminate) {
  std::mt19937 random(83);
  std::uniform_int_distribution<int> plyTotal(5, 17);
  std::bernoulli_distribution coin(0.5);
  LaminateRules absent = testing::freeRules();
  int withModes = 0;
  for (int trial = 0; trial < 120; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const ResponseSurface surface = testing::makeSurface(skinTerms(trial));
    const int plies = plyTotal(random);
    LaminateRules rules;
    rules.balance = coin(random);
    rules.fourPlyRule = coin(random);
    if (trial % 3 == 0) testing::addRandomGuidelines(rules, random);
    if (trial % 7 == 6) rules = testing::randomFixedNumbers(plies, random);
    ResponseSurface second = testing::makeSurface(skinTerms(500 + trial));
    ExtraSurfaces extras;
    if (trial % 4 == 1) {
      extras.minOf.push_back(&second);
      ++withModes;
    }
    if (trial % 4 == 3) extras.required.push_back({&second, 2.8});
    const int top = trial % 5 == 2 ? 3 : 0;
    ExhaustiveSearch exhaustive(surface, rules, absent);
    SimultaneousSearch tree(surface, rules, absent, 7u);
    SimultaneousSearch tight(surface, rules, absent, 7u, true);
    if (trial % 2 == 1) tight.setParallelism(2, trial % 4 == 1 ? 1 : 0, 4);
    {
      testing::CapturedStreams captured;
      for (AlternativeSearch* search : {static_cast<AlternativeSearch*>(&exhaustive),
                                        static_cast<AlternativeSearch*>(&tree),
                                        static_cast<AlternativeSearch*>(&tight)}) {
        search->setExtraSurfaces(extras);
        search->setTop(top);
        search->run(plies, 0);
      }
    }
    if (extras.minOf.empty() && extras.required.empty() && top == 0) {
      EXPECT_EQ(skinTexts(exhaustive.results()), bruteForceOptima(surface, rules, plies));
    }
    EXPECT_EQ(skinTexts(tree.results()), skinTexts(exhaustive.results()));
    EXPECT_EQ(skinTexts(tight.results()), skinTexts(exhaustive.results()));
  }
  EXPECT_GE(withModes, 20);
}

}  // namespace
}  // namespace kelm
