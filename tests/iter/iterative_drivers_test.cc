#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "laminate/design_rules.h"
#include "laminate/fixed_ply_numbers.h"
#include "iter/branch_and_bound_search.h"
#include "iter/first_allowed_sequence.h"
#include "iter/round_robin_search.h"
#include "support/failure.h"
#include "support/test_surfaces.h"
#include "support/capture.h"
#include "support/small_stack.h"

namespace kelm {
namespace {

using testing::linearCode;
using testing::makeSequence;
using testing::makeSurface;

// A driver whose run starts from a given stiffener, so that both drivers can be compared.
template <typename Driver>
class FixedStart : public Driver {
 public:
  template <typename... Args>
  explicit FixedStart(StackingSequence start, Args&&... args)
      : Driver(std::forward<Args>(args)...), start_(std::move(start)) {}

 protected:
  StackingSequence initialStiffener(const StackingSequence&) override { return start_; }

 private:
  StackingSequence start_;
};

struct Outcome {
  std::string out;
  std::vector<PanelDesign> results;
  long long steps = 0;
};

template <typename Driver, typename... Seed>
Outcome runFrom(const StackingSequence& start, int skinTotal, const ResponseSurface& surface,
                const LaminateRules& skin, const LaminateRules& stiffener, Seed... seed) {
  FixedStart<Driver> driver(start, surface, skin, stiffener, seed...);
  testing::CapturedStreams streams;
  driver.run(skinTotal, static_cast<int>(start.halfPlies() * 2));
  driver.report();
  return {streams.out(), driver.results(), driver.totalSteps()};
}

// The tight turns shared out among two threads: the report must not change.
// The report of the tight turns on two threads, and how many rounds they shared out.
std::pair<std::string, long long> twoThreadTightOut(const StackingSequence& start, int skinTotal,
                                                    const ResponseSurface& surface,
                                                    const LaminateRules& skin,
                                                    const LaminateRules& stiffener) {
  FixedStart<BranchAndBoundSearch> driver(start, surface, skin, stiffener, true);
  driver.setTurnThreads(2);
  testing::CapturedStreams streams;
  driver.run(skinTotal, static_cast<int>(start.halfPlies() * 2));
  driver.report();
  return {streams.out(), driver.sharedRounds()};
}

std::string bnbOut(const ResponseSurface& surface, const LaminateRules& skin,
                   const LaminateRules& stiffener, const StackingSequence& start, int skinTotal) {
  return runFrom<BranchAndBoundSearch>(start, skinTotal, surface, skin, stiffener).out;
}

std::string roundRobinOut(const ResponseSurface& surface, const LaminateRules& skin,
                          const LaminateRules& stiffener, const StackingSequence& start,
                          int skinTotal) {
  return runFrom<RoundRobinSearch>(start, skinTotal, surface, skin, stiffener, 1u).out;
}

// The design lines of each round, sorted: the drivers meet tied designs in different orders.
// Step counts differ by method and are left out.
std::vector<std::vector<std::string>> roundsOf(const std::string& out) {
  std::vector<std::vector<std::string>> rounds;
  bool inRound = false;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("> ", 0) == 0) {
      rounds.emplace_back();
      inRound = true;
      line = line.substr(line.find(' ', 2) + 1);
    }
    if (!inRound) break;
    if (line.rfind("step ", 0) == 0) {
      std::sort(rounds.back().begin(), rounds.back().end());
      inRound = false;
    } else {
      rounds.back().push_back(line);
    }
  }
  return rounds;
}

constexpr auto designsOf = testing::sortedDesignTexts;

StackingSequence randomAllowed(std::mt19937& random, int total, const LaminateRules& rules) {
  for (;;) {
    StackingSequence s = makeSequence(total, {});
    for (int p = 1; p <= s.plyCount(); ++p) s.setTheta(p, static_cast<int>(random() % 3));
    if (checkComplete(s, rules)) return s;
  }
}

void expectSameSearch(const ResponseSurface& surface, const LaminateRules& skin,
                      const LaminateRules& stiffener, const StackingSequence& start,
                      int skinTotal) {
  const Outcome bnb = runFrom<BranchAndBoundSearch>(start, skinTotal, surface, skin, stiffener);
  const Outcome exhaustive =
      runFrom<RoundRobinSearch>(start, skinTotal, surface, skin, stiffener, 1u);
  EXPECT_EQ(roundsOf(bnb.out), roundsOf(exhaustive.out));
  EXPECT_EQ(designsOf(bnb.results), designsOf(exhaustive.results));
  for (const PanelDesign& design : bnb.results) {  // as kelm_eval judges them
    EXPECT_TRUE(checkComplete(design.skin, skin));
    EXPECT_TRUE(checkComplete(design.stiffener, stiffener));
  }
  if (!bnb.results.empty() && !exhaustive.results.empty()) {
    EXPECT_NEAR(bnb.results.front().value, exhaustive.results.front().value, 1e-12);
  }
}

TEST(IterativeDriversTest, BranchAndBoundFindsWhatExhaustiveTurnsFind) {
  std::mt19937 random(99);
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    LaminateRules skin, stiffener;
    skin.fourPlyRule = seed % 3 == 0;
    stiffener.balance = seed % 4 != 0;
    if (seed % 2 == 0) testing::addRandomGuidelines(skin, random);  // the skin: turns search it
    const int skinTotal = 2 * static_cast<int>(1 + random() % 8);
    const int stiffenerTotal = 2 * static_cast<int>(1 + random() % 6);
    // A raised constant keeps most designs above 0, the best value each run starts from.
    std::vector<testing::Term> terms = testing::randomTerms(seed, {seed % 2 == 0, seed % 5 == 0});
    terms.insert(terms.begin(), {0, 4.0});
    expectSameSearch(makeSurface(terms), skin, stiffener,
                     randomAllowed(random, stiffenerTotal, stiffener), skinTotal);
  }
  // A flat surface: every allowed design ties.
  LaminateRules rules;
  expectSameSearch(makeSurface({}), rules, rules, makeSequence(4, {0, 0}), 6);
}

// Each design's text and value, sorted by text.
std::vector<std::pair<std::string, double>> valuedDesigns(const std::vector<PanelDesign>& designs) {
  std::vector<std::pair<std::string, double>> valued;
  for (const PanelDesign& d : designs)
    valued.emplace_back(d.skin.bracketText() + " " + d.stiffener.bracketText(), d.value);
  std::sort(valued.begin(), valued.end());
  return valued;
}

// A random allowed stiffener of the given rules to start from, or none when they allow none.
std::optional<StackingSequence> randomStart(std::mt19937& random, int total,
                                            const LaminateRules& rules) {
  std::vector<StackingSequence> allowed;
  testing::forEachCompletion(makeSequence(total, {}), [&](const StackingSequence& s) {
    if (checkComplete(s, rules)) allowed.push_back(s);
  });
  if (allowed.empty()) return std::nullopt;
  return allowed[random() % allowed.size()];
}

// The tight turns against the default ones on random small cases: the same rounds, converged
// marks, results and values; only the step counts and the order of tied designs may differ.
TEST(IterativeDriversTest, TightTurnsFindWhatDefaultTurnsFind) {
  std::mt19937 random(20250101);
  std::uniform_int_distribution<int> plyTotal(3, 13);  // odd totals too: a mid-plane ply
  std::bernoulli_distribution coin(0.5);
  long long defaultSteps = 0, tightSteps = 0;
  int ties = 0, twoThreadCases = 0, shared = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<testing::Term> terms =
        testing::randomTerms(3000 + trial, {trial % 3 == 1, trial % 3 == 2});
    if (trial % 5 == 4) terms = testing::inPlaneOnly(terms);
    if (trial % 4 != 3) terms.insert(terms.begin(), {0, 3.0});
    const ResponseSurface surface = makeSurface(terms);
    const int skinTotal = plyTotal(random);
    const int stiffenerTotal = plyTotal(random);
    LaminateRules skin, stiffener;
    for (auto [rules, total] : {std::pair{&skin, skinTotal}, {&stiffener, stiffenerTotal}}) {
      if (trial % 6 == 5) {
        *rules = testing::randomFixedNumbers(total, random);
      } else {
        rules->balance = coin(random);
        rules->fourPlyRule = coin(random);
      }
      if (trial % 3 == 0) testing::addRandomGuidelines(*rules, random);
    }
    const std::optional<StackingSequence> start = randomStart(random, stiffenerTotal, stiffener);
    if (!start) continue;
    SCOPED_TRACE("trial " + std::to_string(trial));
    const Outcome plain =
        runFrom<BranchAndBoundSearch>(*start, skinTotal, surface, skin, stiffener);
    const Outcome tight =
        runFrom<BranchAndBoundSearch>(*start, skinTotal, surface, skin, stiffener, true);
    EXPECT_EQ(roundsOf(plain.out), roundsOf(tight.out));
    EXPECT_EQ(valuedDesigns(plain.results), valuedDesigns(tight.results));
    if (trial % 2 == 0) {
      const auto [out, sharedRounds] = twoThreadTightOut(*start, skinTotal, surface, skin, stiffener);
      EXPECT_EQ(out, tight.out);
      ++twoThreadCases;
      shared += sharedRounds > 0;
    }
    defaultSteps += plain.steps;
    tightSteps += tight.steps;
    if (plain.results.size() > 1) ++ties;
  }
  EXPECT_GE(ties, 20);
  EXPECT_LT(tightSteps, defaultSteps);
  // A round shares its turns out only when it has two candidates or more (ties).
  std::printf("turns on two threads in %d of %d two-thread cases\n", shared, twoThreadCases);
  EXPECT_GE(shared, 10);
}

// Every turn maximises the smallest of several surfaces under requirements: the branch and
// bound turns (default, tight, tight on two threads) find what the exhaustive turns find.
template <typename Driver, typename... Seed>
Outcome runWithModes(const StackingSequence& start, int skinTotal, const ResponseSurface& surface,
                     const LaminateRules& skin, const LaminateRules& stiffener,
                     const ExtraSurfaces& extras, int threads, Seed... seed) {
  FixedStart<Driver> driver(start, surface, skin, stiffener, seed...);
  driver.setExtraSurfaces(extras);
  driver.setTurnThreads(threads);
  testing::CapturedStreams streams;
  driver.run(skinTotal, static_cast<int>(start.halfPlies() * 2));
  driver.report();
  return {streams.out(), driver.results(), driver.totalSteps()};
}

TEST(IterativeDriversTest, TurnsUnderSeveralFailureModesFindWhatExhaustiveTurnsFind) {
  std::mt19937 random(77);
  std::uniform_int_distribution<int> plyTotal(3, 12);
  std::bernoulli_distribution coin(0.5);
  int nonEmpty = 0;
  for (int trial = 0; trial < 150; ++trial) {
    std::vector<ResponseSurface> models;
    for (int k = 0; k < 2 + trial % 3; ++k) {
      std::vector<testing::Term> terms = testing::randomTerms(7000 + 10 * trial + k, {k % 2 == 0, false});
      terms.insert(terms.begin(), {0, 3.0});
      models.push_back(makeSurface(terms));
    }
    ExtraSurfaces extras;
    std::uniform_real_distribution<double> limit(1.0, 3.5);
    for (std::size_t k = 1; k < models.size(); ++k) {
      if (trial % 2 == 0 && k + 1 == models.size()) extras.required.push_back({&models[k], limit(random)});
      else extras.minOf.push_back(&models[k]);
    }
    const int skinTotal = plyTotal(random), stiffenerTotal = plyTotal(random);
    LaminateRules skin, stiffener;
    for (LaminateRules* rules : {&skin, &stiffener}) {
      rules->balance = coin(random);
      rules->fourPlyRule = coin(random);
      if (trial % 4 == 0) testing::addRandomGuidelines(*rules, random);
    }
    const std::optional<StackingSequence> start = randomStart(random, stiffenerTotal, stiffener);
    if (!start) continue;
    SCOPED_TRACE("trial " + std::to_string(trial));
    const Outcome exhaustive =
        runWithModes<RoundRobinSearch>(*start, skinTotal, models[0], skin, stiffener, extras, 1, 1u);
    const Outcome plain =
        runWithModes<BranchAndBoundSearch>(*start, skinTotal, models[0], skin, stiffener, extras, 1);
    const Outcome tight = runWithModes<BranchAndBoundSearch>(*start, skinTotal, models[0], skin,
                                                             stiffener, extras, 1 + trial % 2, true);
    EXPECT_EQ(roundsOf(plain.out), roundsOf(exhaustive.out));
    EXPECT_EQ(roundsOf(tight.out), roundsOf(exhaustive.out));
    EXPECT_EQ(designsOf(tight.results), designsOf(exhaustive.results));
    nonEmpty += !exhaustive.results.empty();
  }
  EXPECT_GE(nonEmpty, 60);
}

TEST(IterativeDriversTest, RoundWithNothingAtTheBestPrintsOnlyItsStepCount) {
  const ResponseSurface negative = makeSurface({{0, -1.0}});
  const LaminateRules rules = testing::freeRules();
  const StackingSequence start = makeSequence(2, {0});
  // Three plies: each first-ply child completes its last two plies directly.
  EXPECT_EQ(bnbOut(negative, rules, rules, start, 6),
            "> 1 step 27 done.\ntotal step 27(+27) done.\n");
  // Four plies: every first-ply child is bounded below the best and dropped.
  EXPECT_EQ(bnbOut(negative, rules, rules, start, 8),
            "> 1 step 3 done.\ntotal step 3(+0) done.\n");
  EXPECT_EQ(roundRobinOut(negative, rules, rules, start, 6),
            "> 1 step 27 done.\ntotal step 27 done.\n");
  // A bound exactly at the margin below the best keeps its branch: all 81 designs are tried.
  EXPECT_EQ(bnbOut(makeSurface({{0, -1e-13}}), rules, rules, start, 8),
            "> 1 step 84 done.\ntotal step 84(+81) done.\n");
}

TEST(IterativeDriversTest, DesignsSeenBeforeAreMarkedConvergedAndEndTheRun) {
  // Only the in-plane cos 2 parameters count. The skin must hold two 0 deg plies and one
  // 90 deg ply, so its three orders tie; the stiffener is best at all 0 deg.
  const ResponseSurface surface = makeSurface({{linearCode(1), 1.0}, {linearCode(3), 1.0}});
  LaminateRules skin = testing::freeRules();
  skin.plyNumbersFixed = true;
  skin.ply0 = 2;
  skin.ply90 = 1;
  const LaminateRules stiffener = testing::freeRules();
  const StackingSequence start = makeSequence(4, {1, 0});
  const std::string skins[] = {"[0/0/90]s", "[0/90/0]s", "[90/0/0]s"};
  std::string round1 = "> 1 ", round2 = "> 2 ", round3 = "> 3 ", results;
  for (const std::string& s : skins) {
    round1 += s + " [45/0]s  0.833333\n";
    round2 += s + " [0/0]s  1.33333\n";
    // The three designs of round 2 share their stiffener: one turn, not three, in round 3.
    round3 += s + " [0/0]s  1.33333 %converged%\n";
    results += s + "\n[0/0]s\noptimal value = 1.333333333\n";
  }
  auto expected = [&](int turnSteps, int round2Steps, const std::string& stepLine) {
    const std::string steps = "step " + std::to_string(turnSteps) + " done.\n";
    return round1 + steps + round2 + "step " + std::to_string(round2Steps) + " done.\n" +
           round3 + steps + results + stepLine;
  };
  EXPECT_EQ(bnbOut(surface, skin, stiffener, start, 6),
            expected(18, 9, "total step 45(+36) done.\n"));
  EXPECT_EQ(roundRobinOut(surface, skin, stiffener, start, 6),
            expected(3, 27, "total step 33 done.\n"));
}

// An all-0 deg start stiffener that breaks fixed ply numbers must never become the optimum.
// A stiffener of 6000 plies fixed at all 0 deg: its turns walk one path of 3000 positions, on a
// small call stack.
TEST(IterativeDriversTest, RoundRobinTurnsWalkLongLaminatesWithoutDeepCalls) {
  LaminateRules stiffener = testing::freeRules();
  stiffener.plyNumbersFixed = true;
  stiffener.ply0 = 3000;
  const LaminateRules skin = testing::freeRules();  // the drivers keep references to the rules
  const ResponseSurface surface = makeSurface({{linearCode(1), 1.0}});
  RoundRobinSearch search(surface, skin, stiffener, 1u);
  testing::CapturedStreams streams;
  testing::runOnSmallStack([&] { search.run(2, 6000); });
  ASSERT_EQ(search.results().size(), 1u);
  EXPECT_EQ(search.results()[0].skin.getCode(1), kCode0);  // x1 = cos 2 theta is largest at 0
  EXPECT_TRUE(checkComplete(search.results()[0].stiffener, stiffener));
}

TEST(IterativeDriversTest, RoundRobinStartRespectsFixedStiffenerPlyNumbers) {
  const ResponseSurface surface = makeSurface({{linearCode(1), 1.0}, {linearCode(3), 1.0}});
  const LaminateRules skin = testing::freeRules();
  LaminateRules stiffener = testing::freeRules();
  stiffener.plyNumbersFixed = true;
  stiffener.ply0 = 1;
  stiffener.ply45 = 2;
  stiffener.ply90 = 1;
  stiffener.plyMin = 1;
  RoundRobinSearch search(surface, skin, stiffener, 1u);
  testing::CapturedStreams streams;
  search.run(6, 8);
  ASSERT_FALSE(search.results().empty());
  for (const PanelDesign& design : search.results())
    EXPECT_TRUE(checkComplete(design.stiffener, stiffener)) << design.stiffener.bracketText();
}

// The default driver's start stiffener passes the incremental checks only. Every fixed ply
// numbers the entry lets through (none negative, and arranged within the 4-ply rule when it is
// on) still make that stiffener meet the complete rules, so no start design breaks them.
TEST(IterativeDriversTest, FirstAllowedStiffenerMeetsAdmissibleFixedPlyNumbers) {
  for (int total = 3; total <= 14; ++total) {
    const StackingSequence empty = makeSequence(total, {});
    const int h = empty.plyCount();
    for (const bool fourPly : {false, true}) {
      for (int n0 = 0; n0 <= h; ++n0) {
        for (int n45 = 0; n0 + n45 <= h; ++n45) {
          const int n90 = h - n0 - n45;
          if (fourPly && !fourPlyRuleAllows(n0, n45, n90)) continue;
          LaminateRules rules = testing::freeRules();
          rules.fourPlyRule = fourPly;
          rules.plyNumbersFixed = true;
          rules.ply0 = n0, rules.ply45 = n45, rules.ply90 = n90;
          rules.plyMin = std::min({n0, n45, n90});
          const StackingSequence start = firstAllowedSequence(empty, rules, false);
          EXPECT_TRUE(checkComplete(start, rules))
              << total << (fourPly ? " f " : " ") << n0 << "/" << n45 << "/" << n90;
        }
      }
    }
  }
}

// A long stiffener under the 4-ply rule is almost never drawn feasible at random; the start
// falls back to the first one the rules allow instead of claiming that none exists.
TEST(IterativeDriversTest, RandomStartOfALongStiffenerFallsBackToTheFirstAllowed) {
  struct Start : RoundRobinSearch {
    using RoundRobinSearch::RoundRobinSearch;
    using RoundRobinSearch::initialStiffener;
  };
  const ResponseSurface surface = makeSurface({});
  LaminateRules stiffener;
  stiffener.fourPlyRule = true;
  const StackingSequence start =
      Start(surface, testing::freeRules(), stiffener, 5u).initialStiffener(makeSequence(4001, {}));
  EXPECT_EQ(start.setCount(), 2001);
  EXPECT_TRUE(checkComplete(start, stiffener));
}

TEST(IterativeDriversDeathTest, NoStiffenerSatisfiesTheRules) {
  const ResponseSurface surface = makeSurface({});
  const LaminateRules skin = testing::freeRules();
  LaminateRules noPlies = testing::freeRules();
  noPlies.plyNumbersFixed = true;  // zero plies of every orientation
  EXPECT_FAILS_WITH(BranchAndBoundSearch(surface, skin, noPlies).run(4, 4), "^cannot get initial stiffener! \n$");

  LaminateRules allExcluded = testing::freeRules();
  allExcluded.excludeListed = true;
  for (int code = 0; code < 3; ++code) allExcluded.excluded.push_back(makeSequence(2, {code}));
  EXPECT_FAILS_WITH(RoundRobinSearch(surface, skin, allExcluded, 7u).run(4, 2), "^cannot get initial stiffener! \n$");
}

}  // namespace
}  // namespace kelm
