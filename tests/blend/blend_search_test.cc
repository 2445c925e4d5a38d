#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "blend/blend_check.h"
#include "blend/class_insertion_search.h"
#include "blend/edge_wise_search.h"
#include "blend/failed_states.h"
#include "blend/guide_annealing.h"
#include "blend/lightest_blend.h"
#include "blend/neighbour_conflicts.h"
#include "blend/stiffened_panels.h"
#include "blend/shared_threads.h"
#include "blend/table_growth.h"
#include "blend/table_search.h"
#include "laminate/fixed_ply_numbers.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

using testing::linearCode;
using testing::Term;

// A random single-laminate surface (x1, x2, x5, x6), linear or quadratic.
ResponseSurface randomLaminateSurface(std::mt19937& random) {
  std::uniform_real_distribution<double> coefficient(-1.0, 1.0);
  const int variables[4] = {1, 2, 5, 6};
  std::vector<Term> terms{{0, coefficient(random)}};
  for (int v : variables) terms.emplace_back(linearCode(v), coefficient(random));
  if (random() % 2 == 0)
    for (int i = 0; i < 4; ++i)
      for (int j = i; j < 4; ++j)
        terms.emplace_back(linearCode(variables[i]) + linearCode(variables[j]), coefficient(random));
  return testing::makeSurface(terms);
}

// Which rules a random case draws from: the default rule set, the 4-ply rule and a wider
// covering, runs of single drops without balance, and odd totals beside even ones.
struct RuleSet {
  bool balance;
  bool fourPly;
  int maxRun;
  int covering;
  int maxDrops;
  bool oddTotals = false;
};
// Trying every guide is slow under the sanitizers: fewer random structures there.
#ifdef KELM_SANITIZED
constexpr std::uint32_t kFixedCases = 21;
constexpr std::uint32_t kLightestCases = 14;  // two edge-wise
#else
constexpr std::uint32_t kFixedCases = 60;
constexpr std::uint32_t kLightestCases = 16;  // four edge-wise
#endif

constexpr RuleSet kRuleSets[] = {
    {true, false, 0, 1, 3, true}, {true, true, 0, 2, 2}, {false, false, 2, 1, 1}, {true, false, 0, 1, 3}};
constexpr std::uint32_t kRuleSetCount = 4;

BlendedStructure randomStructure(std::uint32_t seed, const RuleSet& set, int totalsPerPanel) {
  std::mt19937 random(seed);
  BlendedStructure structure;
  structure.blending = {BlendForm::Table, set.covering, set.maxDrops,
                        set.oddTotals ? TotalsPolicy::MidPlane : TotalsPolicy::Even};
  const int step = set.oddTotals ? 1 : 2;
  const int panels = 3 + static_cast<int>(random() % (totalsPerPanel > 2 ? 3 : 2));
  for (int p = 0; p < panels; ++p) {
    BlendPanel panel;
    panel.name = "P" + std::to_string(p + 1);
    panel.plyWeight = 1.0 + static_cast<double>(random() % 3);
    panel.rules.balance = set.balance;
    panel.rules.fourPlyRule = set.fourPly;
    panel.rules.maxRun = set.maxRun;
    const int lowest = 6 + step * static_cast<int>(random() % 2);
    for (int t = 0; t < totalsPerPanel; ++t) {
      PanelTotal total;
      total.plies = lowest + step * t;
      for (int s = 0; s < 2; ++s) {
        ModeSurface mode;
        mode.name = "m";
        mode.name += std::to_string(s);  // not "m" + ...: a false overlap warning of GCC 12
        mode.surface = randomLaminateSurface(random);
        mode.value.setFullObjective(mode.surface);
        mode.required = s == 0 || random() % 2 == 0;
        mode.limit = mode.required ? -0.6 + 0.2 * static_cast<double>(random() % 5) : 0.0;
        total.surfaces.push_back(std::move(mode));
      }
      panel.totals.push_back(std::move(total));
    }
    structure.panels.push_back(std::move(panel));
  }
  for (int p = 1; p < panels; ++p) structure.adjacent.emplace_back(static_cast<int>(random() % p), p);
  if (panels > 3) structure.adjacent.emplace_back(0, panels - 1);
  return structure;
}

// The whole laminate ply by ply through the thickness: the half, then its mirror (the mid-plane
// ply of an odd total once).
std::vector<int> wholeLaminate(const StackingSequence& half) {
  std::vector<int> plies;
  for (int i = 1; i <= half.plyCount(); ++i) plies.push_back(half.codeAt(i));
  for (int i = half.plyCount() - (half.midPly() ? 1 : 0); i >= 1; --i) plies.push_back(half.codeAt(i));
  return plies;
}

// Counted in real plies, whether every thinner laminate (all of a table's, or a neighbour's
// edge-wise) is the thicker one with plies dropped.
bool blendsInRealPlies(const BlendedStructure& structure, const BlendedDesign& design) {
  const auto keeps = [&](std::size_t thick, std::size_t thin) {
    if (design.plies[thick] < design.plies[thin]) std::swap(thick, thin);
    const std::vector<int> outer = wholeLaminate(design.laminates[thick]), inner = wholeLaminate(design.laminates[thin]);
    std::size_t kept = 0;
    for (int ply : outer) kept += kept < inner.size() && ply == inner[kept];
    return kept == inner.size();
  };
  if (structure.blending.form == BlendForm::EdgeWise) {
    return std::all_of(structure.adjacent.begin(), structure.adjacent.end(),
                       [&](const auto& pair) { return keeps(pair.first, pair.second); });
  }
  for (std::size_t a = 0; a < design.plies.size(); ++a)
    for (std::size_t b = 0; b < a; ++b)
      if (!keeps(a, b)) return false;
  return true;
}

// Every guide of the count vector (codes and levels in every order), judged by the independent
// check alone: whether one holds, and the largest smallest margin. Every design it passes
// blends in real plies.
struct Brute {
  bool found = false;
  double margin = -std::numeric_limits<double>::infinity();
};

// `complete`, when given, completes each design before the check (a stiffened panel's stiffener).
Brute bruteForce(const BlendedStructure& structure, const std::vector<int>& plies,
                 const std::function<void(BlendedDesign&)>& complete = {}) {
  const std::vector<int> classes = countClasses(plies);
  std::vector<int> quota(classes.size());
  for (std::size_t c = 0; c < classes.size(); ++c) quota[c] = classes[c] - (c > 0 ? classes[c - 1] : 0);
  BlendedDesign design;
  design.plies = plies;
  design.guide.resize(classes.back());
  Brute best;
  std::function<void(int)> place = [&](int depth) {
    if (depth == classes.back()) {
      design.laminates = laminatesFromGuide(design.guide, plies);
      if (complete) complete(design);
      const BlendVerdict verdict = checkBlendedDesign(structure, design);
      if (verdict.holds()) {
        EXPECT_TRUE(blendsInRealPlies(structure, design));
      }
      if (verdict.holds() && (!best.found || verdict.margin > best.margin)) best = {true, verdict.margin};
      return;
    }
    for (std::size_t level = 1; level <= classes.size(); ++level) {
      if (quota[level - 1] == 0) continue;
      --quota[level - 1];
      for (int code = 0; code < 3; ++code) {
        design.guide[depth] = {code, static_cast<int>(level)};
        place(depth + 1);
      }
      ++quota[level - 1];
    }
  };
  place(0);
  return best;
}

// The search of a fixed count vector finds exactly what trying every guide finds, and its
// design passes the independent check with the margin it reports.
TEST(BlendSearchTest, FixedCountsMatchEveryGuide) {
  int found = 0, infeasible = 0, oddFound = 0, annealedFound = 0;
  std::int64_t positions = 0;
  for (std::uint32_t seed = 1; seed <= kFixedCases; ++seed) {
    const RuleSet& set = kRuleSets[seed % kRuleSetCount];
    const BlendedStructure structure = randomStructure(seed, set, 3);
    std::mt19937 random(seed * 7919u);
    std::vector<int> plies;
    for (const BlendPanel& panel : structure.panels) plies.push_back(panel.totals[random() % 3].plies);
    const Brute brute = bruteForce(structure, plies);
    TableSearch search(structure, plies);
    const VectorSearchOutcome outcome = search.run();
    positions += outcome.nodes;
    ASSERT_EQ(outcome.found, brute.found) << "seed " << seed;
    // Followed along each panel's set of laminates instead of its bounds: the same answer.
    CompletionsCache cache;
    TableSearch alongSets(structure, plies, &cache);
    const VectorSearchOutcome fromSets = alongSets.run();
    ASSERT_EQ(fromSets.found, brute.found) << "seed " << seed;
    if (brute.found) {
      EXPECT_EQ(fromSets.margin, outcome.margin) << "seed " << seed;
    }
    // Built thinnest class first, along the bounds and along the sets (which look ahead to the
    // thicker panels): the same answer, and a design that holds.
    for (CompletionsCache* sets : {static_cast<CompletionsCache*>(nullptr), &cache}) {
      ClassInsertionSearch thinFirst(structure, plies, sets);
      const VectorSearchOutcome inserted = thinFirst.run();
      ASSERT_EQ(inserted.found, brute.found) << "seed " << seed;
      if (!brute.found) continue;
      EXPECT_NEAR(inserted.margin, brute.margin, 1e-12) << "seed " << seed;
      EXPECT_TRUE(checkBlendedDesign(structure, inserted.design).holds()) << "seed " << seed;
    }
    // Annealing finds only designs that hold: none where there is none, and most that exist.
    const AnnealingOutcome annealed = annealGuide(structure, plies, 20000, seed);
    ASSERT_TRUE(!annealed.found || brute.found) << "seed " << seed;
    annealedFound += annealed.found;
    if (annealed.found) {
      EXPECT_TRUE(checkBlendedDesign(structure, annealed.design).holds()) << "seed " << seed;
      EXPECT_LE(annealed.margin, brute.margin + 1e-12) << "seed " << seed;
    }
    if (!brute.found) {
      ++infeasible;
      continue;
    }
    ++found;
    if (std::any_of(plies.begin(), plies.end(), [](int t) { return t % 2 != 0; })) ++oddFound;
    EXPECT_NEAR(outcome.margin, brute.margin, 1e-12) << "seed " << seed;
    const BlendVerdict verdict = checkBlendedDesign(structure, outcome.design);
    EXPECT_TRUE(verdict.holds()) << "seed " << seed << ": " << verdict.breaks.front().where;
    EXPECT_DOUBLE_EQ(verdict.margin, outcome.margin) << "seed " << seed;
  }
  std::cout << found << " vectors with designs (" << oddFound << " with odd totals), " << infeasible << " without, " << positions
            << " guide positions searched; annealing found " << annealedFound << "\n";
  EXPECT_GT(found, static_cast<int>(kFixedCases) / 5);
  EXPECT_GE(annealedFound * 4, found * 3);
  EXPECT_GT(infeasible, static_cast<int>(kFixedCases) / 10);
  EXPECT_GT(oddFound, 0);
}

// Every complete laminate of `plies` plies.
std::vector<StackingSequence> everyLaminate(int plies) {
  StackingSequence empty;
  empty.setPlyTotal(plies);
  std::vector<StackingSequence> all{empty};
  for (int position = 1; position <= empty.plyCount(); ++position) {
    std::vector<StackingSequence> longer;
    for (const StackingSequence& laminate : all)
      for (int code = 0; code < 3; ++code) {
        longer.push_back(laminate);
        longer.back().setTheta(position, code);
      }
    all = std::move(longer);
  }
  return all;
}

// Edge-wise: every combination of the laminates each panel can take alone, judged by the
// independent check.
Brute bruteForceEdgeWise(const BlendedStructure& structure, const std::vector<int>& plies) {
  std::vector<std::vector<StackingSequence>> admissible(plies.size());
  for (std::size_t p = 0; p < plies.size(); ++p) {
    BlendedStructure alone;
    alone.panels = {structure.panels[p]};
    alone.blending = structure.blending;
    for (const StackingSequence& laminate : everyLaminate(plies[p]))
      if (checkBlendedDesign(alone, {{plies[p]}, {}, {laminate}, {}}).holds()) admissible[p].push_back(laminate);
  }
  BlendedDesign design{plies, {}, std::vector<StackingSequence>(plies.size()), {}};
  Brute best;
  std::function<void(std::size_t)> choose = [&](std::size_t p) {
    if (p == plies.size()) {
      const BlendVerdict verdict = checkBlendedDesign(structure, design);
      if (verdict.holds()) {
        EXPECT_TRUE(blendsInRealPlies(structure, design));
      }
      if (verdict.holds() && (!best.found || verdict.margin > best.margin)) best = {true, verdict.margin};
      return;
    }
    for (const StackingSequence& laminate : admissible[p]) design.laminates[p] = laminate, choose(p + 1);
  };
  choose(0);
  return best;
}

// The edge-wise search of a fixed count vector finds what every combination of laminates finds,
// and never less than the table (every table design blends edge-wise).
TEST(BlendSearchTest, EdgeWiseMatchesEveryCombination) {
  int found = 0, infeasible = 0, beyondTable = 0;
  for (std::uint32_t seed = 1; seed <= kFixedCases / 2; ++seed) {
    RuleSet set = kRuleSets[seed % kRuleSetCount];
    set.covering = std::min(set.covering, 1);
    BlendedStructure structure = randomStructure(5000 + seed, set, 2);
    structure.panels.resize(3);
    std::erase_if(structure.adjacent, [](const auto& pair) { return pair.first > 2 || pair.second > 2; });
    structure.blending.form = BlendForm::EdgeWise;
    std::mt19937 random(seed * 104729u);
    std::vector<int> plies;
    for (const BlendPanel& panel : structure.panels) plies.push_back(panel.totals[random() % 2].plies);
    const Brute brute = bruteForceEdgeWise(structure, plies);
    const VectorSearchOutcome outcome = EdgeWiseSearch(structure, plies).run();
    ASSERT_EQ(outcome.found, brute.found) << "seed " << seed;
    if (!brute.found) {
      ++infeasible;
      continue;
    }
    ++found;
    EXPECT_NEAR(outcome.margin, brute.margin, 1e-12) << "seed " << seed;
    const BlendVerdict verdict = checkBlendedDesign(structure, outcome.design);
    EXPECT_TRUE(verdict.holds()) << "seed " << seed << ": " << verdict.breaks.front().where;
    structure.blending.form = BlendForm::Table;
    const VectorSearchOutcome table = TableSearch(structure, plies).run();
    if (table.found) {
      EXPECT_GE(outcome.margin, table.margin - 1e-12) << "seed " << seed;
    }
    if (!table.found || table.margin < outcome.margin - 1e-12) ++beyondTable;
  }
  std::cout << found << " edge-wise vectors with designs (" << beyondTable << " better than any table), "
            << infeasible << " without\n";
  EXPECT_GT(found, 0);
  EXPECT_GT(infeasible, 0);
}

// A run whose count vectors are decided apart, three handed out at a time and settled last
// first (as verdicts from other processes may come back), by a decider that keeps what it
// learns between vectors.
LightestBlend sharedRun(const BlendedStructure& structure) {
  SharedBlendRun run(structure, nullptr);
  VectorDecider decider(structure);
  if (!run.prepare()) return run.conclude();
  for (;;) {
    std::vector<std::vector<int>> handed;
    while (handed.size() < 3)
      if (const auto next = run.handOut()) handed.push_back(next->first);
      else break;
    if (handed.empty()) return run.conclude();
    for (auto plies = handed.rbegin(); plies != handed.rend(); ++plies) run.settle(*plies, decider.decide(*plies, nullptr));
  }
}

// The lightest design: the lightest vector holding a design (by trying every guide of every
// vector), and among that weight the largest smallest margin; the same with the vectors
// decided apart.
// The same edge-wise on three panels (the lightest vector's pairs of neighbours are learned by
// tables of their own).
TEST(BlendSearchTest, LightestWeightMatchesEveryVector) {
  for (std::uint32_t seed = 1; seed <= kLightestCases; ++seed) {
    BlendedStructure structure = randomStructure(1000 + seed, kRuleSets[seed % kRuleSetCount], 2);
    const bool edgeWise = seed > 12;
    if (edgeWise) {
      structure.panels.resize(3);
      std::erase_if(structure.adjacent, [](const auto& pair) { return pair.first > 2 || pair.second > 2; });
      structure.blending.form = BlendForm::EdgeWise;
    }
    std::vector<int> option(structure.panels.size(), 0);
    bool anyFound = false;
    double lightest = 0.0, margin = 0.0;
    std::function<void(std::size_t)> each = [&](std::size_t p) {
      if (p == option.size()) {
        std::vector<int> plies;
        for (std::size_t q = 0; q < option.size(); ++q) plies.push_back(structure.panels[q].totals[option[q]].plies);
        const Brute brute = edgeWise ? bruteForceEdgeWise(structure, plies) : bruteForce(structure, plies);
        if (!brute.found) return;
        const double weight = structure.weightOf(plies);
        if (!anyFound || weight < lightest - 1e-9 || (std::fabs(weight - lightest) < 1e-9 && brute.margin > margin))
          lightest = weight, margin = brute.margin;
        anyFound = true;
        return;
      }
      for (option[p] = 0; option[p] < 2; ++option[p]) each(p + 1);
    };
    each(0);
    const LightestBlend result = findLightestBlend(structure);
    ASSERT_EQ(result.found, anyFound) << "seed " << seed;
    if (!anyFound) {
      EXPECT_EQ(result.status, LightestBlend::Status::Infeasible);
      EXPECT_EQ(sharedRun(structure).status, LightestBlend::Status::Infeasible) << "seed " << seed;
      continue;
    }
    EXPECT_EQ(result.status, LightestBlend::Status::Optimal);
    EXPECT_DOUBLE_EQ(result.weight, lightest) << "seed " << seed;
    EXPECT_DOUBLE_EQ(result.lowerBound, result.weight);
    EXPECT_NEAR(result.margin, margin, 1e-12) << "seed " << seed;
    for (const RuledOutVector& out : result.ruledOut) EXPECT_LT(out.weight, result.weight + 1e-9);
    EXPECT_TRUE(checkBlendedDesign(structure, result.design).holds()) << "seed " << seed;
    // Asked for the weight only, the run ends at its first design of that weight: the vector
    // it searched last holds the design it reports, or is lighter (a design found before).
    std::vector<int> searchedLast;
    const LightestBlend weightOnly = findLightestBlend(
        structure, nullptr, [&](const std::vector<int>& plies, double) { searchedLast = plies; }, {}, true);
    EXPECT_EQ(weightOnly.status, LightestBlend::Status::Optimal) << "seed " << seed;
    EXPECT_DOUBLE_EQ(weightOnly.weight, lightest) << "seed " << seed;
    EXPECT_TRUE(searchedLast.empty() || searchedLast == weightOnly.design.plies ||
                heavierThan(lightest, structure.weightOf(searchedLast)))
        << "seed " << seed;
    for (const LightestBlend& shared : {sharedRun(structure), findLightestBlendShared(structure, 2)}) {
      EXPECT_EQ(shared.status, LightestBlend::Status::Optimal) << "seed " << seed;
      EXPECT_DOUBLE_EQ(shared.weight, lightest) << "seed " << seed;
      EXPECT_NEAR(shared.margin, margin, 1e-12) << "seed " << seed;
      EXPECT_TRUE(checkBlendedDesign(structure, shared.design).holds()) << "seed " << seed;
    }
  }
}

// Two triangles of random panels joined by one joint (P3-P4): a narrow cut with two sides.
BlendedStructure twoTrianglesOfPanels(std::uint32_t seed) {
  BlendedStructure structure = randomStructure(3000 + seed, kRuleSets[seed % kRuleSetCount], 2);
  for (std::uint32_t more = 1; structure.panels.size() < 6; ++more) {
    const BlendedStructure other = randomStructure(3100 + 7 * seed + more, kRuleSets[seed % kRuleSetCount], 2);
    for (const BlendPanel& panel : other.panels)
      if (structure.panels.size() < 6) structure.panels.push_back(panel);
  }
  structure.panels.resize(6);
  for (int p = 0; p < 6; ++p) {  // names key the sets
    structure.panels[p].name = "P";
    structure.panels[p].name += std::to_string(p + 1);
  }
  structure.adjacent = {{0, 1}, {1, 2}, {0, 2}, {2, 3}, {3, 4}, {4, 5}, {3, 5}};
  return structure;
}

// Each panel's two totals, the groups prepared over them.
std::vector<std::vector<int>> prepareBothTotals(NeighbourConflicts& conflicts, const BlendedStructure& structure) {
  std::vector<std::vector<int>> options;
  for (const BlendPanel& panel : structure.panels) options.push_back({panel.totals[0].plies, panel.totals[1].plies});
  conflicts.prepare(options);
  return options;
}

// Two triangles of panels joined by one joint: its sides are the groups that a narrow cut
// yields, and a side proved to hold no design (small groups cut to pairs, so that only the
// sides search) rules out only vectors for which trying every guide finds none either.
TEST(BlendSearchTest, NarrowCutSidesRuleOutOnlyEmptyVectors) {
  constexpr std::int64_t kShortSideSearch = 2;
  int ruledOut = 0, decidedWhenAskedAgain = 0;
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    BlendedStructure structure = twoTrianglesOfPanels(seed);
    LightestBlend record;
    CompletionsCache completions;
    NeighbourConflicts conflicts(structure, record, completions);
    conflicts.limitSmallGroups(2);
    const std::vector<std::vector<int>> options = prepareBothTotals(conflicts, structure);
    ASSERT_EQ(conflicts.cutSides(), (std::vector<std::vector<int>>{{0, 1, 2}, {3, 4, 5}}));
    // A side left open by a short search is searched longer each time a vector asks again.
    LightestBlend patientRecord;
    NeighbourConflicts patient(structure, patientRecord, completions);
    patient.limitSmallGroups(2);
    patient.prepare(options);
    for (int choice = 0; choice < 64; ++choice) {
      std::vector<int> plies;
      for (int p = 0; p < 6; ++p) plies.push_back(options[p][(choice >> p) & 1]);
      bool patientHolds = patient.cutSidesHold(plies, kShortSideSearch);
      for (int ask = 0; ask < 3 && patientHolds; ++ask)
        if (!patient.cutSidesHold(plies, kShortSideSearch)) ++decidedWhenAskedAgain, patientHolds = false;
      if (conflicts.cutSidesHold(plies, 1000000)) {
        EXPECT_TRUE(patientHolds) << "seed " << seed << " vector " << choice;
        continue;
      }
      ++ruledOut;
      EXPECT_FALSE(bruteForce(structure, plies).found) << "seed " << seed << " vector " << choice;
      // The enumeration cuts the side's totals from then on, and so does a run told of it.
      const auto& [side, sidePlies] = conflicts.lastFailedGroup();
      EXPECT_FALSE(conflicts.fitsEarlierPanels(side.back(), plies)) << "seed " << seed << " vector " << choice;
      LightestBlend toldRecord;
      NeighbourConflicts told(structure, toldRecord, completions);
      told.limitSmallGroups(2);
      told.prepare(options);
      told.learnGroup(side, sidePlies);
      EXPECT_FALSE(told.fitsEarlierPanels(side.back(), plies)) << "seed " << seed << " vector " << choice;
    }
  }
  EXPECT_GT(ruledOut, 0);
  EXPECT_GT(decidedWhenAskedAgain, 0);
}

// A table grown class by class passes the independent check and blends in real plies (odd
// totals among them); and a class of three or more panels found unable to share a laminate, cut
// down to a smaller group, rules out only vectors for which trying every guide finds nothing, and
// the enumeration cuts them from then on.
TEST(BlendSearchTest, GrownTablesAndClassGroupsAgreeWithEveryGuide) {
  int grown = 0, classesRuledOut = 0;
  for (std::uint32_t seed = 1; seed <= 24; ++seed) {
    const BlendedStructure structure = randomStructure(5000 + seed, kRuleSets[seed % kRuleSetCount], 3);
    std::vector<std::vector<int>> options;
    for (const BlendPanel& panel : structure.panels) {
      options.emplace_back();
      for (const PanelTotal& total : panel.totals) options.back().push_back(total.plies);
    }
    const GrownTable table = growTable(structure, options);
    if (table.found) {
      ++grown;
      EXPECT_TRUE(checkBlendedDesign(structure, table.design).holds()) << "seed " << seed;
      EXPECT_TRUE(blendsInRealPlies(structure, table.design)) << "seed " << seed;
    }
    LightestBlend record;
    CompletionsCache completions;
    NeighbourConflicts conflicts(structure, record, completions);
    conflicts.prepare(options);
    // Every panel at a total of one class (its second, or the thickest any can share).
    std::vector<int> plies;
    for (const auto& totals : options) plies.push_back(totals[1]);
    const int common = *std::max_element(plies.begin(), plies.end());
    for (std::size_t p = 0; p < plies.size(); ++p)
      if (std::find(options[p].begin(), options[p].end(), common) != options[p].end()) plies[p] = common;
    if (conflicts.classGroupsHold(plies, 1000000)) continue;
    ++classesRuledOut;
    EXPECT_FALSE(bruteForce(structure, plies).found) << "seed " << seed;
    const auto& members = conflicts.lastFailedGroup().first;
    EXPECT_FALSE(conflicts.fitsEarlierPanels(members.back(), plies)) << "seed " << seed;
  }
  EXPECT_GT(grown, 12);
  EXPECT_GT(classesRuledOut, 0);
}

// The parts of a vector (neighbour pairs, groups, sides) asked whether they may beat a margin:
// never "no" below the vector's best margin found by every guide, and "no" at that margin for
// some vectors (the cut bites), asked twice (the second answer remembered).
TEST(BlendSearchTest, PartsThatCannotBeatAMarginHoldNoBetterDesign) {
  int cut = 0;
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    BlendedStructure structure = twoTrianglesOfPanels(seed);
    LightestBlend record;
    CompletionsCache completions;
    NeighbourConflicts conflicts(structure, record, completions);
    conflicts.limitSmallGroups(3);
    const std::vector<std::vector<int>> options = prepareBothTotals(conflicts, structure);
    for (int choice = 0; choice < 64; choice += 5) {
      std::vector<int> plies;
      for (int p = 0; p < 6; ++p) plies.push_back(options[p][(choice >> p) & 1]);
      const Brute brute = bruteForce(structure, plies);
      if (!brute.found) continue;
      EXPECT_TRUE(conflicts.partsMayBeat(plies, brute.margin - 1e-9, 1000000, 3, 1000000))
          << "seed " << seed << " vector " << choice;
      if (!conflicts.partsMayBeat(plies, brute.margin, 1000000, 3, 1000000)) {
        ++cut;
        EXPECT_FALSE(conflicts.partsMayBeat(plies, brute.margin + 1.0, 1, 3, 1)) << "seed " << seed;
      }
    }
  }
  EXPECT_GT(cut, 0);
}

// Two neighbours under the mid-plane policy: A of 7 plies with one 0, two +-45 and one 90 deg
// position and in-plane cos 2 at least 0.1 (so two 0 and one 90 deg ply: its mid-plane ply is
// 90 deg), B of 6 plies with two +-45 and one 90 deg position. B's two 90 deg plies cannot be
// A's one with plies dropped: no design, in a table or edge-wise, and the table that keeps A's
// mid-plane row as B's pair is refused by the check, counted in real plies.
TEST(BlendSearchTest, EvenPanelCannotKeepAnOddNeighboursMidPlanePly) {
  BlendedStructure structure;
  structure.blending = {BlendForm::Table, 1, 3, TotalsPolicy::MidPlane};
  const int numbers[2][3] = {{1, 2, 1}, {0, 2, 1}};
  for (int p = 0; p < 2; ++p) {
    BlendPanel panel;
    panel.name = p == 0 ? "A" : "B";
    panel.rules.balance = false;
    PanelTotal total;
    total.plies = 7 - p;
    ModeSurface mode;
    mode.name = "x1";
    mode.surface = testing::makeSurface({{linearCode(1), 1.0}});
    mode.value.setFullObjective(mode.surface);
    mode.required = true;
    mode.limit = p == 0 ? 0.1 : -1.0;
    total.surfaces.push_back(std::move(mode));
    panel.totals.push_back(std::move(total));
    LaminateRules fixed = panel.rulesFor(7 - p);
    fixPlyNumbers(fixed, numbers[p][0], numbers[p][1]);
    panel.rules = fixed;
    structure.panels.push_back(std::move(panel));
  }
  structure.adjacent = {{0, 1}};
  EXPECT_EQ(findLightestBlend(structure).status, LightestBlend::Status::Infeasible);
  EXPECT_FALSE(bruteForce(structure, {7, 6}).found);
  BlendedDesign design{{7, 6}, {{1, 1}, {0, 2}, {1, 1}, {2, 1}}, {}, {}};
  design.laminates = laminatesFromGuide(design.guide, design.plies);
  ASSERT_EQ(design.laminates[0].bracketText() + " " + design.laminates[1].bracketText(), "[45/0/45/90]s [45/45/90]s");
  std::vector<std::string> broken;
  for (const RuleBreak& b : checkBlendedDesign(structure, design).breaks) broken.push_back(b.rule);
  EXPECT_EQ(broken, (std::vector<std::string>{"mid-plane", "plies"}));
  structure.blending.form = BlendForm::EdgeWise;
  EXPECT_EQ(findLightestBlend(structure).status, LightestBlend::Status::Infeasible);
  EXPECT_FALSE(bruteForceEdgeWise(structure, {7, 6}).found);
  // With 0 deg as A's mid-plane ply instead (cos 2 at most -0.1), B is A with plies dropped.
  structure.panels[0].totals[0].surfaces[0].value.setFullObjective(testing::makeSurface({{linearCode(1), -1.0}}));
  structure.panels[0].totals[0].surfaces[0].surface = testing::makeSurface({{linearCode(1), -1.0}});
  const LightestBlend edge = findLightestBlend(structure);
  ASSERT_EQ(edge.status, LightestBlend::Status::Optimal);
  EXPECT_TRUE(blendsInRealPlies(structure, edge.design));
  structure.blending.form = BlendForm::Table;
  const LightestBlend table = findLightestBlend(structure);
  ASSERT_EQ(table.status, LightestBlend::Status::Optimal);
  EXPECT_TRUE(blendsInRealPlies(structure, table.design));
}

// Fixed-count structures (every panel one total and fixed ply numbers, no surfaces), drawn
// from a hidden guide and sometimes with one class's numbers traded: the lightest design's
// search decides exactly what trying every guide decides, under the run limit too, and its
// design holds.
TEST(BlendSearchTest, FixedPlyNumbersDecideAsEveryGuide) {
  int found = 0, infeasible = 0;
  for (std::uint32_t seed = 1; seed <= 24; ++seed) {
    std::mt19937 random(seed * 613u);
    const int levels = 2 + static_cast<int>(random() % 2), positions = 4 + static_cast<int>(random() % 2);
    std::vector<GuidePosition> hidden{{static_cast<int>(random() % 3), 1}};
    while (static_cast<int>(hidden.size()) < positions)
      hidden.push_back({static_cast<int>(random() % 3), 1 + static_cast<int>(random() % levels)});
    BlendedStructure structure;
    structure.blending = {BlendForm::Table, 1, seed % 2 == 0 ? 1 : 3};
    std::vector<int> plies;
    const int traded = static_cast<int>(random() % (2 * levels)) + 1;  // a class, or none
    for (int p = 0; p < 4; ++p) {
      const int level = p == 0 ? levels : 1 + static_cast<int>(random() % levels);
      int numbers[3] = {0, 0, 0};
      for (const GuidePosition& row : hidden) numbers[row.code] += row.level <= level;
      if (level == traded && numbers[0] > 0) --numbers[0], ++numbers[2];
      BlendPanel panel;
      panel.name = "P" + std::to_string(p);
      PanelTotal total;
      total.plies = 2 * (numbers[0] + numbers[1] + numbers[2]);
      panel.totals.push_back(total);
      panel.rules = panel.rulesFor(total.plies);
      panel.rules.maxRun = seed % 3 == 0 ? 1 : 0;
      fixPlyNumbers(panel.rules, numbers[0], numbers[1]);
      plies.push_back(total.plies);
      structure.panels.push_back(std::move(panel));
      if (p > 0) structure.adjacent.emplace_back(static_cast<int>(random() % p), p);
    }
    const Brute brute = bruteForce(structure, plies);
    const LightestBlend result = findLightestBlend(structure);
    ASSERT_EQ(result.found, brute.found) << "seed " << seed;
    ASSERT_EQ(result.status, brute.found ? LightestBlend::Status::Optimal : LightestBlend::Status::Infeasible);
    if (brute.found) {
      EXPECT_TRUE(checkBlendedDesign(structure, result.design).holds()) << "seed " << seed;
    }
    (brute.found ? found : infeasible)++;
  }
  std::cout << found << " fixed-count structures with designs, " << infeasible << " without\n";
  EXPECT_GT(found, 3);
  EXPECT_GT(infeasible, 3);
}

// A random panel surface in all eight parameters, with products of the skin's and the
// stiffener's parameters.
ResponseSurface randomPanelSurface(std::mt19937& random) {
  std::uniform_real_distribution<double> coefficient(-1.0, 1.0);
  std::vector<Term> terms{{0, coefficient(random)}};
  for (int v = 1; v <= 8; ++v) terms.emplace_back(linearCode(v), coefficient(random));
  for (int i = 1; i <= 8; ++i)
    for (int j = i; j <= 8; ++j)
      if (random() % 3 == 0) terms.emplace_back(linearCode(i) + linearCode(j), coefficient(random));
  return testing::makeSurface(terms);
}

// The structure of `randomStructure` with a stiffener of 4 or 5 plies on every panel but the
// last, and surfaces that read it.
BlendedStructure randomStiffenedStructure(std::uint32_t seed, const RuleSet& set) {
  BlendedStructure structure = randomStructure(seed, set, 2);
  std::mt19937 random(seed * 31u);
  for (std::size_t p = 0; p + 1 < structure.panels.size(); ++p) {
    BlendPanel& panel = structure.panels[p];
    panel.stiffener.plies = 4 + static_cast<int>(random() % 2);
    panel.stiffener.plyWeight = 0.5;
    panel.stiffener.rules.balance = set.balance;
    const auto stiffeners = std::make_shared<const StiffenerTree>(stiffenerLaminates(panel.stiffener, 1000000));
    for (PanelTotal& total : panel.totals) {
      for (ModeSurface& mode : total.surfaces) {
        mode.surface = randomPanelSurface(random);
        mode.value.setFullObjective(mode.surface);
        if (mode.required) mode.limit += 0.4;  // the stiffener's terms widen the surfaces' range
      }
      prepareStiffenedTotal(total, stiffeners);
    }
  }
  return structure;
}

// Every guide with every panel's best stiffener among all its laminates (not only those kept),
// judged by the independent check.
Brute bruteForceStiffened(const BlendedStructure& structure, const std::vector<int>& plies) {
  std::vector<std::vector<StackingSequence>> stiffeners;
  for (const BlendPanel& panel : structure.panels)
    stiffeners.push_back(panel.stiffener.plies > 0 ? stiffenerLaminates(panel.stiffener, 1000000)
                                                   : std::vector<StackingSequence>{StackingSequence()});
  return bruteForce(structure, plies, [&](BlendedDesign& design) {
    design.stiffeners.assign(plies.size(), StackingSequence());
    for (std::size_t p = 0; p < plies.size(); ++p) {
      design.stiffeners[p].setPlyTotal(0);
      const PanelTotal& total = *structure.panels[p].at(plies[p]);
      PanelValues chosen;
      for (const StackingSequence& stiffener : stiffeners[p]) {
        const PanelValues values = panelValues(total, design.laminates[p], stiffener);
        if (chosen.values.empty() || (values.requirementsHold && !chosen.requirementsHold) ||
            (values.requirementsHold == chosen.requirementsHold && values.margin > chosen.margin))
          chosen = values, design.stiffeners[p] = stiffener;
      }
    }
  });
}

// Stiffened panels: the skins blend and each panel takes its own stiffener. The search of a
// vector (the skins bounded by their ceilings over the stiffeners, each complete skin's best
// stiffener found in the tree of their parameters) and the lightest design find what
// every guide with every stiffener finds, and the weight counts the stiffeners.
TEST(BlendSearchTest, StiffenedPanelsMatchEveryGuideAndStiffener) {
  int found = 0, infeasible = 0, lightestChecked = 0;
  for (std::uint32_t seed = 1; seed <= 15; ++seed) {  // quick enough under the sanitizers too
    const RuleSet& set = kRuleSets[seed % kRuleSetCount];
    const BlendedStructure structure = randomStiffenedStructure(7000 + seed, set);
    std::mt19937 random(seed * 7919u);
    std::vector<int> plies;
    for (const BlendPanel& panel : structure.panels) plies.push_back(panel.totals[random() % 2].plies);
    const Brute brute = bruteForceStiffened(structure, plies);
    const VectorSearchOutcome outcome = TableSearch(structure, plies).run();
    ASSERT_EQ(outcome.found, brute.found) << "seed " << seed;
    if (!brute.found) {
      ++infeasible;
      continue;
    }
    ++found;
    EXPECT_NEAR(outcome.margin, brute.margin, 1e-12) << "seed " << seed;
    const BlendVerdict verdict = checkBlendedDesign(structure, outcome.design);
    EXPECT_TRUE(verdict.holds()) << "seed " << seed << ": " << verdict.breaks.front().where;
    // Edge-wise, a table's design blends too: at least its margin, and a design that holds.
    BlendedStructure edgeWise = structure;
    edgeWise.blending.form = BlendForm::EdgeWise;
    edgeWise.blending.covering = std::min(edgeWise.blending.covering, 1);
    const VectorSearchOutcome edge = EdgeWiseSearch(edgeWise, plies).run();
    ASSERT_TRUE(edge.found) << "seed " << seed;
    if (structure.blending.covering <= 1) {
      EXPECT_GE(edge.margin, outcome.margin - 1e-12) << "seed " << seed;
    }
    EXPECT_TRUE(checkBlendedDesign(edgeWise, edge.design).holds()) << "seed " << seed;
    if (seed % 3 != 0) continue;
    ++lightestChecked;
    const LightestBlend lightest = findLightestBlend(structure);
    ASSERT_EQ(lightest.status, LightestBlend::Status::Optimal) << "seed " << seed;
    EXPECT_LE(lightest.weight, structure.weightOf(plies) + 1e-12);
    EXPECT_EQ(lightest.weight, structure.weightOf(lightest.design.plies));
    EXPECT_TRUE(checkBlendedDesign(structure, lightest.design).holds()) << "seed " << seed;
    // Every lighter vector holds no design.
    std::vector<int> lighter(structure.panels.size());
    std::function<void(std::size_t)> each = [&](std::size_t p) {
      if (p == lighter.size()) {
        if (structure.weightOf(lighter) < lightest.weight - 1e-9) {
          EXPECT_FALSE(bruteForceStiffened(structure, lighter).found) << "seed " << seed;
        }
        return;
      }
      for (const PanelTotal& total : structure.panels[p].totals) lighter[p] = total.plies, each(p + 1);
    };
    each(0);
  }
  std::cout << found << " stiffened vectors with designs, " << infeasible << " without\n";
  EXPECT_GT(lightestChecked, 0);
  EXPECT_GT(found, 0);
  EXPECT_GT(infeasible, 0);
}

// A run stopped at any moment says only what it proved: never "infeasible" for a structure
// that holds a design. The stop lands at spread-out moments, some of them while pairs of
// neighbours with many plies are searched alone, before any count vector is tried.
TEST(BlendSearchTest, StopAtAnyMomentNeverClaimsInfeasible) {
  const RuleSet loose{true, false, 0, 1, 3};
  int stoppedRuns = 0;
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    BlendedStructure structure = randomStructure(2000 + seed, loose, 2);
    for (BlendPanel& panel : structure.panels)
      for (PanelTotal& total : panel.totals) {
        total.plies += 14;  // many plies: the pairs' searches take a while
        for (ModeSurface& mode : total.surfaces) mode.limit = -2.0;  // easy: a design holds
      }
    const LightestBlend full = findLightestBlend(structure);
    ASSERT_EQ(full.status, LightestBlend::Status::Optimal) << "seed " << seed;
    for (int microseconds = 500; microseconds <= 60000; microseconds = microseconds * 5 / 4) {
      StopRequest stop;
      std::thread timer([&stop, microseconds] {
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
        stop.request(StopReason::TimeLimit);
      });
      // Alternately one process and two workers: a stop between a vector handed out and its
      // verdict leaves that vector bounding what is certified.
      const bool shared = microseconds % 2 == 1;
      const LightestBlend result = shared ? findLightestBlendShared(structure, 2, &stop) : findLightestBlend(structure, &stop);
      timer.join();
      EXPECT_NE(result.status, LightestBlend::Status::Infeasible) << "seed " << seed << ", stop after "
                                                                     << microseconds << " us" << (shared ? ", shared" : "");
      EXPECT_LE(result.lowerBound, full.weight);
      stoppedRuns += result.status == LightestBlend::Status::Stopped;
    }
  }
  std::cout << stoppedRuns << " runs stopped before they finished\n";
}

// A panel's set of laminates cut short by a stop is not taken as too large: asked again
// without the stop, it is built.
TEST(BlendSearchTest, SetCutShortByAStopIsBuiltLater) {
  BlendedStructure structure = randomStructure(17, kRuleSets[0], 2);
  BlendPanel& panel = structure.panels.front();
  for (PanelTotal& total : panel.totals) {
    total.plies += 14;  // many laminates: the build runs long enough to see the stop
    for (ModeSurface& mode : total.surfaces) mode.limit = -2.0;
  }
  StopRequest stop;
  stop.request(StopReason::Interrupt);
  CompletionsCache cache;
  const int plies = panel.totals.back().plies;
  EXPECT_EQ(cache.at(panel, plies, 0, &stop), nullptr);
  const PanelCompletions* set = cache.at(panel, plies, 0);
  ASSERT_NE(set, nullptr);
  EXPECT_TRUE(set->complete());
}

// A full table starts afresh: it forgets states, but never holds one that was not put in.
TEST(BlendSearchTest, FailedStatesForgetButNeverInvent) {
  FailedStates states(3, 40 * 32);  // room for 40 keys of three words
  std::uint64_t key[3] = {0, 0, 0};
  for (std::uint64_t i = 0; i < 100; ++i) {
    key[0] = i, key[2] = i * i;
    states.insert(key);
    EXPECT_TRUE(states.contains(key));
  }
  int held = 0;
  for (std::uint64_t i = 0; i < 200; ++i) {
    key[0] = i, key[2] = i * i;
    if (states.contains(key)) {
      EXPECT_LT(i, 100u);
      ++held;
    }
    key[2] = i * i + 1;
    EXPECT_FALSE(states.contains(key));
  }
  EXPECT_GT(held, 0);
  EXPECT_LE(held, 40);
}

}  // namespace
}  // namespace kelm
