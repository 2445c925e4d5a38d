#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "alt/exhaustive_search.h"
#include "alt/local_improvement.h"
#include "alt/simultaneous_search.h"
#include "laminate/design_rules.h"
#include "laminate/laminate_text.h"
#include "support/failure.h"
#include "support/test_surfaces.h"
#include "support/capture.h"
#include "support/small_stack.h"
#include "support/threaded_code_reached.h"

namespace kelm {
namespace {

using testing::CapturedStreams;
using testing::freeRules;
using testing::makeSurface;
using testing::Term;
using testing::inPlaneOnly;
using testing::budgetOf;
constexpr auto fixedNumbersOf = testing::randomFixedNumbers;

constexpr auto designTexts = testing::sortedDesignTexts;

LaminateRules rulesOf(bool balance, bool fourPlyRule) {
  LaminateRules rules;
  rules.balance = balance;
  rules.fourPlyRule = fourPlyRule;
  return rules;
}

// Both modes of the tree search, the default and the tight one, against the exhaustive search.
TEST(AlternativeSearchTest, SimultaneousSearchFindsExactlyTheExhaustiveOptima) {
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> plyTotal(5, 11);  // half counts 3..6
  std::bernoulli_distribution coin(0.5);
  int nonEmpty = 0;
  int ties = 0;
  testing::ThreadedCodeReached reached;
  for (int trial = 0; trial < 300; ++trial) {
    testing::RandomSurfaceOptions options;
    options.sparse = trial % 3 == 1;
    options.negativeDefiniteBlocks = trial % 3 == 2;
    std::vector<Term> terms = testing::randomTerms(1000 + trial, options);
    if (trial % 5 == 4) terms = inPlaneOnly(terms);
    // Mostly a positive optimum, so that results are not trivially empty on both sides.
    if (trial % 4 != 3) terms.insert(terms.begin(), Term{0, 3.0});
    const ResponseSurface surface = makeSurface(terms);
    const int ts = plyTotal(random);
    const int tt = plyTotal(random);
    // Fixed ply numbers switch the random start off: the tree then starts from best 0.
    const bool fixedNumbers = trial % 7 == 6;
    LaminateRules skinRules =
        fixedNumbers ? fixedNumbersOf(ts, random) : rulesOf(coin(random), coin(random));
    LaminateRules stiffenerRules = trial % 11 == 10 ? fixedNumbersOf(tt, random)
                                                    : rulesOf(coin(random), coin(random));
    // Every third trial under a random mix of the design guidelines as well.
    if (trial % 3 == 0) {
      testing::addRandomGuidelines(skinRules, random);
      testing::addRandomGuidelines(stiffenerRules, random);
    }
    SCOPED_TRACE("trial " + std::to_string(trial) + ", totals " + std::to_string(ts) + "/" +
                 std::to_string(tt));

    ExhaustiveSearch exhaustive(surface, skinRules, stiffenerRules);
    SimultaneousSearch simultaneous(surface, skinRules, stiffenerRules, 7u);
    SimultaneousSearch tight(surface, skinRules, stiffenerRules, 7u, true);
    // Three trials in four shared out among two threads from one to three open designs: one
    // with a budget so small that every subtree goes depth-first, one with a budget of a few
    // open designs per thread (subtrees start best-first, go depth-first once they grow), one
    // without (or, every other time, with no hand-over: the whole tree in batches of two to
    // four designs). The fourth keeps one thread and the hand-over setting.
    const bool batched = trial % 8 == 7;
    if (trial % 4 != 0)
      tight.setParallelism(2, budgetOf(trial), batched ? testing::kNoHandOver : 1 + trial % 3);
    if (batched) tight.setExpansionBatch(2 + trial % 3, true);
    {
      CapturedStreams captured;
      exhaustive.run(ts, tt);
      simultaneous.run(ts, tt);
      tight.run(ts, tt);
    }
    EXPECT_NEAR(simultaneous.best(), exhaustive.best(), 1e-12);
    EXPECT_EQ(designTexts(simultaneous.results()), designTexts(exhaustive.results()));
    EXPECT_EQ(designTexts(tight.results()), designTexts(exhaustive.results()));
    for (const PanelDesign& design : simultaneous.results()) {  // as kelm_eval judges them
      EXPECT_TRUE(checkComplete(design.skin, skinRules));
      EXPECT_TRUE(checkComplete(design.stiffener, stiffenerRules));
    }
    if (!exhaustive.results().empty()) ++nonEmpty;
    if (exhaustive.results().size() > 1) ++ties;
    if (trial % 4 != 0) reached.count(tight.shareOut(), testing::budgetOf(trial));
    if (batched) reached.countBatches(tight.shareOut());
  }
  EXPECT_GE(nonEmpty, 75);
  EXPECT_GE(ties, 10);
  // These trees are mostly closed before two designs are open: the threaded code is reached on
  // the larger trees of the next test.
  reached.print();
}

// The tight tree shared out among two threads from a few open designs, with and without
// memory budgets, finds the designs, the value and the steps of one thread, on trees large
// enough that both threads search subtrees, their designs are merged and subtrees go
// depth-first (surfaces with concave own blocks: their optima sit inside the laminates' ranges,
// where the tree grows).
TEST(AlternativeSearchTest, SharedOutTightTreeFindsWhatOneThreadFinds) {
  std::mt19937 random(2026);
  std::uniform_int_distribution<int> plyTotal(14, 22);
  std::bernoulli_distribution coin(0.5);
  testing::ThreadedCodeReached reached;
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<Term> terms = testing::randomTerms(9000 + trial, {.negativeDefiniteBlocks = true});
    terms.insert(terms.begin(), Term{0, 3.0});
    const ResponseSurface surface = makeSurface(terms);
    const int ts = plyTotal(random), tt = plyTotal(random);
    LaminateRules skinRules = rulesOf(coin(random), coin(random));
    LaminateRules stiffenerRules = rulesOf(coin(random), coin(random));
    if (trial % 3 == 0) testing::addRandomGuidelines(stiffenerRules, random);
    SCOPED_TRACE("trial " + std::to_string(trial));
    // One trial in four runs its whole tree in batches of two to four designs.
    const bool batched = trial % 4 == 3;
    const int roots = batched ? testing::kNoHandOver : 2 << (trial % 3);
    auto search = [&](int threads, std::int64_t budget) {
      SimultaneousSearch tight(surface, skinRules, stiffenerRules, 11u, true);
      tight.setParallelism(threads, budget, roots);
      if (batched) tight.setExpansionBatch(2 + trial % 3, true);
      tight.setStepCounterShown(false);
      tight.run(ts, tt);
      return std::make_tuple(designTexts(tight.results()), tight.best(), tight.totalSteps(),
                             tight.shareOut());
    };
    // Half the trials with a budget, shared equally among the threads: one thread alone has
    // the share of one of two.
    const std::int64_t budget = budgetOf(trial + 1);
    const auto alone = search(1, budget > 0 ? std::max<std::int64_t>(1, budget / 2) : 0);
    const auto shared = search(2, budget);
    EXPECT_EQ(std::get<0>(shared), std::get<0>(alone));
    EXPECT_EQ(std::get<1>(shared), std::get<1>(alone));
    EXPECT_EQ(std::get<2>(shared), std::get<2>(alone));
    if (batched) reached.countBatches(std::get<3>(shared));
    else reached.count(std::get<3>(shared), budget);
  }
  reached.expectMost();
  EXPECT_GT(2 * reached.takenAhead, reached.batchedCases);
  // Thick laminates, whose start designs climb apart on the threads: the first best value and
  // everything after it as on one thread.
  for (int trial = 0; trial < 2; ++trial) {
    // A linear surface: random quadratic ones take the tree minutes at these totals.
    std::vector<Term> terms{Term{0, 3.0}};
    std::uniform_real_distribution<double> coefficient(-1.0, 1.0);
    for (int x = 0; x < 8; ++x) terms.push_back(Term{1u << (4 * x), coefficient(random)});
    const ResponseSurface surface = makeSurface(terms);
    const LaminateRules rules = rulesOf(true, trial == 1);
    auto search = [&](int threads) {
      SimultaneousSearch tight(surface, rules, rules, 11u, true);
      tight.setParallelism(threads, 0);
      tight.setStepCounterShown(false);
      tight.run(116, 8);  // a skin of 58 positions: its climbs go apart
      return std::make_tuple(designTexts(tight.results()), tight.firstBestValue(),
                             tight.totalSteps());
    };
    EXPECT_EQ(search(2), search(1)) << "thick trial " << trial;
  }
}

// Two searches in one process at once (as two Python threads run them): ply totals no search
// used before, so that both fill the ply-weight tables together; each stops only on its own
// request; and each finds what it finds alone.
TEST(AlternativeSearchTest, TwoSearchesAtOnceFindWhatTheyFindAloneAndStopApart) {
  std::vector<Term> terms = testing::randomTerms(4242, {.negativeDefiniteBlocks = true});
  terms.insert(terms.begin(), Term{0, 3.0});
  const ResponseSurface surface = makeSurface(terms);
  const LaminateRules rules = rulesOf(true, true);
  auto search = [&](int skin, int stiffener, bool stopped) {
    SimultaneousSearch tight(surface, rules, rules, 5u, true);
    tight.setParallelism(2, 0, 8);
    tight.setStepCounterShown(false);
    if (stopped) tight.stopRequest().request(StopReason::Interrupt);
    tight.run(skin, stiffener);
    return std::make_pair(designTexts(tight.results()), tight.totalSteps());
  };
  std::pair<std::vector<std::string>, long long> together[3];
  {
    std::thread first([&] { together[0] = search(17, 19, false); });
    std::thread second([&] { together[1] = search(21, 23, false); });
    std::thread third([&] { together[2] = search(17, 19, true); });
    first.join();
    second.join();
    third.join();
  }
  EXPECT_EQ(together[0], search(17, 19, false));
  EXPECT_EQ(together[1], search(21, 23, false));
  EXPECT_FALSE(together[0].first.empty());
  EXPECT_LT(together[2].second, together[0].second);
}

TEST(AlternativeSearchTest, ExhaustiveListsTiesInVisitingOrderAndNothingBelowZero) {
  const LaminateRules free = freeRules();
  CapturedStreams captured;
  // Every design ties with the initial best 0: all are listed, skin positions varied last.
  ExhaustiveSearch zero(makeSurface({}), free, free);
  zero.run(2, 2);
  EXPECT_EQ(zero.totalSteps(), 9);
  ASSERT_EQ(zero.results().size(), 9u);
  EXPECT_EQ(zero.results()[1].skin.bracketText() + zero.results()[1].stiffener.bracketText(),
            "[0]s[45]s");
  EXPECT_EQ(zero.results()[3].skin.bracketText() + zero.results()[3].stiffener.bracketText(),
            "[45]s[0]s");
  EXPECT_EQ(captured.err(), "");

  ExhaustiveSearch negative(makeSurface({{0, -1.0}}), free, free);
  negative.run(6, 6);
  negative.report();
  EXPECT_TRUE(negative.results().empty());
  EXPECT_EQ(captured.out(), "total step 729 done.\n");
}

TEST(AlternativeSearchTest, RandomStartIsReproducibleAndOnlyRaisesTheBestValue) {
  std::vector<Term> terms = testing::randomTerms(77, {.negativeDefiniteBlocks = true});
  terms.insert(terms.begin(), Term{0, 5.0});
  const ResponseSurface surface = makeSurface(terms);
  const LaminateRules rules = rulesOf(true, true);
  auto runWithSeed = [&](std::uint32_t seed) {
    SimultaneousSearch search(surface, rules, rules, seed);
    CapturedStreams captured;
    search.run(9, 9);
    search.report();
    // The last line counts every step and, in brackets, the designs the completions valued.
    const std::string out = captured.out();
    std::smatch match;
    const std::regex lastLine(R"((^|\n)total step (\d+)\(-(\d+)\) done\.\n$)");
    EXPECT_TRUE(std::regex_search(out, match, lastLine)) << out;
    EXPECT_EQ(match.str(2), std::to_string(search.totalSteps()));
    EXPECT_EQ(match.str(3), std::to_string(search.completedCount()));
    EXPECT_EQ(search.completedCount() % 81, 0);
    return std::pair{out + captured.err(), designTexts(search.results())};
  };
  const auto first = runWithSeed(11u);
  EXPECT_FALSE(first.second.empty());
  EXPECT_EQ(runWithSeed(11u), first);
  EXPECT_EQ(runWithSeed(12345u).second, first.second);

  // Every design has the value 1, so the random start already reaches the optimum; the
  // results must still be exactly the designs the tree completes, each listed once.
  const ResponseSurface flat = makeSurface({{0, 1.0}});
  const LaminateRules balanced = rulesOf(true, false);
  SimultaneousSearch simultaneous(flat, balanced, balanced, 5u);
  ExhaustiveSearch exhaustive(flat, balanced, balanced);
  CapturedStreams captured;
  simultaneous.run(6, 6);
  exhaustive.run(6, 6);
  EXPECT_EQ(simultaneous.best(), 1.0);
  EXPECT_EQ(designTexts(simultaneous.results()), designTexts(exhaustive.results()));
}

// A climb of thick laminates runs for seconds: a stop request ends it at the next try, with the
// design it had reached, and without one the same climb goes on improving.
TEST(AlternativeSearchTest, StartClimbEndsAtAStopRequest) {
  const ResponseSurface surface = makeSurface({{0, 1.0}, {1, 2.0}, {5, 1.5}});
  PanelObjectives objectives;
  objectives.setSurfaces(surface, ExtraSurfaces{});
  const LaminateRules rules = freeRules();
  const PanelDesign start{parseHalfLaminate("[90/90/90/90]s", 8, "skin"),
                          parseHalfLaminate("[90/90/90/90]s", 8, "stiffener"), 0.0};
  StopRequest stop;
  stop.request(StopReason::TimeLimit);
  PanelDesign stopped = start;
  stopped.value = objectives.value(stopped);
  CRand random(7u);
  EXPECT_EQ(LocalImprovement(objectives, rules, rules, nullptr, &stop)
                .improve(stopped, random, 1000),
            0);
  EXPECT_TRUE(sameDesign(stopped, start));
  PanelDesign climbed = start;
  climbed.value = objectives.value(climbed);
  CRand again(7u);
  EXPECT_GT(LocalImprovement(objectives, rules, rules).improve(climbed, again, 1000), 0);
  EXPECT_GT(climbed.value, stopped.value);
}

// A stiffener of 6000 plies fixed at all 0 deg leaves one path of 3000 positions: the search
// walks it on a small call stack and finds that stiffener.
TEST(AlternativeSearchTest, ExhaustiveWalksLongLaminatesWithoutDeepCalls) {
  LaminateRules stiffener = freeRules();
  stiffener.plyNumbersFixed = true;
  stiffener.ply0 = 3000;
  const LaminateRules skin = freeRules();  // the drivers keep references to the rules
  const ResponseSurface surface = makeSurface({{0, 1.0}});
  ExhaustiveSearch search(surface, skin, stiffener);
  testing::CapturedStreams streams;
  testing::runOnSmallStack([&] { search.run(2, 6000); });
  ASSERT_EQ(search.results().size(), 3u);  // the single skin ply at 0, 45 or 90 deg
  EXPECT_TRUE(search.results()[0].stiffener.complete());
  for (int position = 1; position <= 3000; ++position)
    ASSERT_EQ(search.results()[0].stiffener.getCode(position), kCode0);
}

TEST(AlternativeSearchDeathTest, SimultaneousRejectsLaminatesOfTwoPositions) {
  const ResponseSurface surface = testing::randomSurface(5);
  const LaminateRules rules = rulesOf(true, false);
  for (auto [ts, tt] : {std::pair{4, 10}, std::pair{10, 4}}) {
    EXPECT_FAILS_WITH(SimultaneousSearch(surface, rules, rules, 1u).run(ts, tt), "ply number must be greater than 4!$");
    // The tight tree's first phase on two threads: the failure of a batch's design reaches the
    // caller, and the helper thread is let go.
    SimultaneousSearch tight(surface, rules, rules, 1u, true);
    tight.setParallelism(2, 0, testing::kNoHandOver);
    tight.setExpansionBatch(2);
    EXPECT_FAILS_WITH(tight.run(ts, tt), "ply number must be greater than 4!$");
  }
}

}  // namespace
}  // namespace kelm
