#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "alt/count_coupled_bound.h"
#include "search/hexagon_max.h"
#include "search/open_counts.h"
#include "laminate/design_rules.h"
#include "numerics/small_algebra.h"
#include "search/panel_value.h"
#include "search/tie_rule.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

using testing::makeSequence;

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// A symmetric 2 x 2 block with entries in [-1, 1]: definite of either sign or indefinite.
Mathmx randomBlock(std::mt19937& random) {
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  Mathmx block;
  block.ref(1, 1) = entry(random);
  block.ref(2, 2) = entry(random);
  block.ref(1, 2) = block.ref(2, 1) = entry(random);
  return block;
}

// Every way to place the entry's codes in the open positions of `partial`, as complete
// sequences built the way the searches build them.
template <typename F>
void forEachArrangement(const StackingSequence& partial, const CountEntry& entry, F&& f) {
  testing::forEachCompletion(partial, [&](const StackingSequence& complete) {
    int count[3] = {0, 0, 0};
    const int ordinaryEnd = complete.midPly() ? complete.plyCount() - 1 : complete.plyCount();
    for (int p = partial.setCount() + 1; p <= ordinaryEnd; ++p) ++count[complete.codeAt(p)];
    const int mid = complete.midPly() ? complete.codeAt(complete.plyCount()) : -1;
    if (std::equal(count, count + 3, entry.count) && mid == entry.midCode) f(complete);
  });
}

// The longest run of 0 or 90 deg positions among the open ordinary positions of `complete`.
// Whether a completed laminate keeps the arrangement rules wherever its open positions take
// part: each run that holds one (the innermost, up to the mid-plane, at most half the limit in
// a half of three positions or more), each cross-ply jump next to one, and the outermost
// position when nothing was set.
bool openStretchKeeps(const StackingSequence& complete, int setCount, const Arrangement& rules) {
  const int h = complete.plyCount();
  auto code = [&](int p) { return complete.codeAt(p) == kCodeMinus45 ? kCode45 : complete.codeAt(p); };
  if (rules.outer45 && setCount == 0 && code(1) != kCode45) return false;
  for (int p = std::max(1, setCount); p < h; ++p)
    if (rules.noCrossPlyJump && code(p) != kCode45 && code(p + 1) != kCode45 &&
        code(p) != code(p + 1))
      return false;
  if (rules.runLimit == 0 || h < 3) return true;
  for (int first = 1; first <= h;) {
    int last = first;
    while (last < h && code(last + 1) == code(first)) ++last;
    const int limit = last == h ? rules.runLimit / 2 : rules.runLimit;
    if (code(first) != kCode45 && last > setCount && last - first + 1 > limit) return false;
    first = last + 1;
  }
  return true;
}

// The hexagon maximum is never below the objective of any arrangement of the counts (under a run
// limit, any arrangement that keeps it), and without a limit equals the best arrangement where
// the quadratic is convex (its maximum then lies at a corner, which is a block arrangement).
TEST(CountCoupledBoundTest, HexagonMaximumCoversEveryArrangement) {
  std::mt19937 random(4711);
  std::uniform_real_distribution<double> gradient(-2.0, 2.0);
  std::uniform_int_distribution<int> totals(3, 13);
  int checked = 0;
  for (int trial = 0; trial < 80; ++trial) {
    const int total = totals(random);
    const Mathmx zero;
    Mathmx bending = randomBlock(random);
    if (trial % 3 == 0) {  // convex: the corners decide
      bending.ref(1, 1) = std::fabs(bending(1, 1)) + 1.0;
      bending.ref(2, 2) = std::fabs(bending(2, 2)) + 1.0;
    }
    const bool convex = trial % 3 == 0;
    // Concave, with the stationary point at each hexagon's centre: inner arrangements can beat
    // every corner and edge.
    const bool centred = trial % 3 == 1;
    if (centred) {
      bending.ref(1, 1) = -std::fabs(bending(1, 1)) - 1.0;
      bending.ref(2, 2) = -std::fabs(bending(2, 2)) - 1.0;
    }
    const int runLimit = trial % 2 == 1 ? 1 + (trial / 2) % 4 : 0;
    const Arrangement rules{runLimit, trial % 3 == 2, trial % 5 == 4};
    const bool arranged = runLimit > 0 || rules.noCrossPlyJump || rules.outer45;
    OpenCountTable table;
    table.build(total, {zero, zero, bending}, rules);
    BendingForm form;
    form.set(bending);
    const int setCount = std::uniform_int_distribution<int>(0, table.positions() - 1)(random);
    std::vector<int> codes(setCount);
    for (int& code : codes) code = std::uniform_int_distribution<int>(0, 2)(random);
    const StackingSequence partial = makeSequence(total, codes);
    double h[2] = {gradient(random), gradient(random)};
    const int boundary = table.boundaryOf(partial);
    for (const CountEntry* e = table.begin(setCount, boundary); e != table.end(setCount, boundary);
         ++e) {
      if (centred) {
        double centre[2] = {0.0, 0.0};
        for (int i = 0; i < e->cornerCount; ++i)
          for (int c = 0; c < 2; ++c) centre[c] += e->corners[i].d[c] / e->cornerCount;
        small::matVec2(bending.data(), centre, h);
        h[0] = -h[0];
        h[1] = -h[1];
      }
      // In a direction where two codes tie (0 and 90 deg), the cut polygon reaches exactly as
      // far as the best allowed arrangement, for the stretch after the last set run.
      const double tie[2] = {0.0, 1.0};
      double best = kMinusInfinity;
      double furthest = kMinusInfinity;
      forEachArrangement(partial, *e, [&](const StackingSequence& complete) {
        if (!openStretchKeeps(complete, setCount, rules)) return;
        const double d[2] = {complete.parameters()[2] - partial.parameters()[2],
                             complete.parameters()[3] - partial.parameters()[3]};
        best = std::max(best, small::dot2(h, d) + 0.5 * small::quadraticForm2(bending.data(), d));
        furthest = std::max(furthest, small::dot2(tie, d));
      });
      if (arranged && best == kMinusInfinity) continue;
      ASSERT_GT(best, kMinusInfinity);
      EXPECT_TRUE(e->reachable) << "total " << total << ", set " << setCount;
      const double hexagon = form.maxOverHexagon(*e, h);
      EXPECT_GE(hexagon, best - 1e-13)
          << "total " << total << ", set " << setCount << ", run limit " << runLimit;
      if (convex && !arranged) {
        EXPECT_NEAR(hexagon, best, 1e-12);
      }
      EXPECT_NEAR(cornerMax(*e, tie), furthest, 1e-11) << "total " << total << ", set " << setCount;
      ++checked;
    }
  }
  EXPECT_GT(checked, 800);
}

// The bound of a random node is never below its best allowed completion, and with a best value
// given it may only fall below completions that cannot reach that value.
TEST(CountCoupledBoundTest, NeverBelowTheBestAllowedCompletion) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> totals(4, 11);
  std::bernoulli_distribution coin(0.5);
  int nodes = 0;
  int preferredKeyedAbove = 0;
  for (int trial = 0; trial < 400 && nodes < 250; ++trial) {
    testing::RandomSurfaceOptions options;
    options.negativeDefiniteBlocks = trial % 4 == 1;
    const ResponseSurface surface = testing::randomSurface(500 + trial, options);
    const int ts = totals(random);
    const int tt = totals(random);
    LaminateRules skinRules, stiffenerRules;
    for (LaminateRules* rules : {&skinRules, &stiffenerRules}) {
      rules->balance = coin(random);
      rules->fourPlyRule = coin(random);
      if (trial % 3 == 0) testing::addRandomGuidelines(*rules, random);
    }
    if (trial % 5 == 4) {
      const int h = halfPositions(ts);
      skinRules.plyNumbersFixed = true;
      skinRules.balance = false;
      skinRules.ply0 = std::uniform_int_distribution<int>(0, h)(random);
      skinRules.ply45 = std::uniform_int_distribution<int>(0, h - skinRules.ply0)(random);
      skinRules.ply90 = h - skinRules.ply0 - skinRules.ply45;
    }
    // A node with some positions of each laminate set, as the tree would hold it.
    auto partialOf = [&](int total) {
      const int set = std::uniform_int_distribution<int>(0, halfPositions(total) - 1)(random);
      std::vector<int> codes(set);
      for (int& code : codes) code = std::uniform_int_distribution<int>(0, 2)(random);
      return makeSequence(total, codes);
    };
    PanelDesign node;
    node.skin = partialOf(ts);
    node.stiffener = partialOf(tt);

    FullObjective objective;
    objective.setFullObjective(surface);
    double best = kMinusInfinity;
    PanelDesign bestDesign, firstDesign;
    testing::forEachCompletion(node.skin, [&](const StackingSequence& skin) {
      if (!checkComplete(skin, skinRules)) return;
      testing::forEachCompletion(node.stiffener, [&](const StackingSequence& stiffener) {
        if (!checkComplete(stiffener, stiffenerRules)) return;
        PanelDesign design{skin, stiffener, 0.0};
        const double value = fullObjective(objective, design);
        if (best == kMinusInfinity) firstDesign = design;
        if (value > best) bestDesign = design;
        best = std::max(best, value);
      });
    });
    CountCoupledBound bound;
    bound.setModel(surface, ts, tt, skinRules, stiffenerRules);
    // The same bound with its pair scan reading cells of counts at every node.
    CountCoupledBound byCells;
    byCells.setModel(surface, ts, tt, skinRules, stiffenerRules);
    byCells.setFewestCountsInCells(1);
    const double alone = bound.evaluate(node, kMinusInfinity);
    if (best == kMinusInfinity) continue;  // the rules leave no completion
    ++nodes;
    EXPECT_GE(alone, best) << "trial " << trial;
    // The same bound trying first the counts of the node's best completion, or of another one.
    CountCoupledBound preferring;
    preferring.setModel(surface, ts, tt, skinRules, stiffenerRules);
    preferring.preferTotalsOf(trial % 2 == 0 ? bestDesign : firstDesign);
    // Against a best value the node's optimum ties with, and one it passes: the counts and the
    // pairs of counts that cannot reach the best value are left out, never the others.
    for (const double floor : {best + 0.9e-13, best - 0.25}) {
      const double key = bound.evaluate(node, floor);
      EXPECT_GE(key, best) << "trial " << trial;
      EXPECT_DOUBLE_EQ(byCells.evaluate(node, floor), key) << "trial " << trial;
      const double preferredKey = preferring.evaluate(node, floor);
      EXPECT_GE(preferredKey, key) << "trial " << trial;
      preferredKeyedAbove += preferredKey > key;
    }
  }
  EXPECT_GE(nodes, 200);
  EXPECT_GT(preferredKeyedAbove, 20);  // the preferred pair decided those nodes
}

// Thick laminates' nodes keep thousands of counts, far past what a search can be checked
// against here: the scan by cells must cut and key every node as the scan pair by pair does,
// whatever the best value (near the node's bound most pairs are read, far above it none).
TEST(CountCoupledBoundTest, CellsOfCountsCutAndKeyAsPairsDo) {
  std::mt19937 random(77);
  std::bernoulli_distribution coin(0.5);
  int decided[2] = {0, 0};
  for (int trial = 0; trial < 24; ++trial) {
    const ResponseSurface surface = testing::randomSurface(900 + trial, {});
    const int ts = std::uniform_int_distribution<int>(40, 72)(random);
    const int tt = std::uniform_int_distribution<int>(40, 72)(random);
    LaminateRules skinRules, stiffenerRules;
    skinRules.balance = coin(random);
    if (trial % 2 == 0) testing::addRandomGuidelines(stiffenerRules, random);
    CountCoupledBound pairs, cells, preferring;
    for (CountCoupledBound* bound : {&pairs, &cells, &preferring})
      bound->setModel(surface, ts, tt, skinRules, stiffenerRules);
    cells.setFewestCountsInCells(1);
    PanelDesign node;
    // Nodes some way down the tree, where the pairs' bounds come close to the best value.
    auto partialOf = [&](int total) {
      std::vector<int> codes(std::uniform_int_distribution<int>(0, halfPositions(total) / 2)(random));
      for (int& code : codes) code = std::uniform_int_distribution<int>(0, 2)(random);
      return makeSequence(total, codes);
    };
    node.skin = partialOf(ts);
    node.stiffener = partialOf(tt);
    // Preferred: the counts of a random completion of the node (kept or not, near or not).
    auto completed = [&](const StackingSequence& partial, int total) {
      std::vector<int> codes(halfPositions(total));
      for (int p = 1; p <= static_cast<int>(codes.size()); ++p)
        codes[p - 1] = p <= partial.setCount() ? partial.codeAt(p)
                                               : std::uniform_int_distribution<int>(0, 2)(random);
      return makeSequence(total, codes);
    };
    preferring.preferTotalsOf(PanelDesign{completed(node.skin, ts), completed(node.stiffener, tt), 0.0});
    const double loose = pairs.evaluate(node, kMinusInfinity);
    if (loose == kMinusInfinity) continue;
    // The best value at which the node turns from open to cut, by bisection: the floors around
    // it read the most pairs.
    double open = loose - 10.0 * std::max(1.0, std::fabs(loose));
    double cut = loose + 1.0;
    for (int halving = 0; halving < 50; ++halving) {
      const double middle = 0.5 * (open + cut);
      (canReach(pairs.evaluate(node, middle), middle) ? open : cut) = middle;
    }
    const double scale = std::max(1.0, std::fabs(open));
    for (double floor : {open - 1e-2 * scale, open - 1e-6 * scale, open, cut,
                         cut + 1e-6 * scale, cut + 1e-2 * scale}) {
      const double key = pairs.evaluate(node, floor);
      const double keyByCells = cells.evaluate(node, floor);
      const bool kept = canReach(key, floor);
      EXPECT_EQ(canReach(keyByCells, floor), kept) << "trial " << trial << " floor " << floor;
      const double preferredKey = preferring.evaluate(node, floor);
      EXPECT_EQ(canReach(preferredKey, floor), kept) << "trial " << trial << " floor " << floor;
      if (kept) EXPECT_GE(preferredKey, key) << "trial " << trial << " floor " << floor;
      if (kept) {
        EXPECT_DOUBLE_EQ(keyByCells, key) << "trial " << trial << " floor " << floor;
      }
      ++decided[kept ? 1 : 0];
    }
  }
  EXPECT_GT(decided[0], 10);  // both outcomes reached
  EXPECT_GT(decided[1], 10);
}

}  // namespace
}  // namespace kelm
