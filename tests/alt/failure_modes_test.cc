#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "alt/exhaustive_search.h"
#include "alt/simultaneous_search.h"
#include "laminate/design_rules.h"
#include "response/full_objective.h"
#include "search/panel_value.h"
#include "support/capture.h"
#include "support/test_surfaces.h"
#include "support/threaded_code_reached.h"

namespace kelm {
namespace {

using testing::Term;

double valueOf(const ResponseSurface& surface, const PanelDesign& design) {
  FullObjective objective;
  objective.setFullObjective(surface);
  return fullObjective(objective, design);
}

// The smallest of several surfaces, under requirements on others: the tree search in both
// modes (and shared out among threads) finds exactly the exhaustive search's designs, every
// one meets every requirement, and its value is the smallest of the objective surfaces.
TEST(FailureModesTest, TreeSearchesFindExactlyTheExhaustiveOptimaOfTheSmallestSurface) {
  std::mt19937 random(909);
  std::uniform_int_distribution<int> plyTotal(5, 10);
  std::bernoulli_distribution coin(0.5);
  int nonEmpty = 0, infeasible = 0;
  testing::ThreadedCodeReached reached;
  for (int trial = 0; trial < 200; ++trial) {
    const int surfaces = 2 + trial % 3;
    std::vector<ResponseSurface> models;
    for (int k = 0; k < surfaces; ++k) {
      std::vector<Term> terms = testing::randomTerms(5000 + 10 * trial + k, {.negativeDefiniteBlocks = k % 2 == 0});
      terms.insert(terms.begin(), Term{0, 3.0});
      models.push_back(testing::makeSurface(terms));
    }
    ExtraSurfaces extras;
    const int required = trial % 4 == 0 ? 0 : 1 + trial % 2;  // the last surfaces, as requirements
    for (int k = 1; k < surfaces - required; ++k) extras.minOf.push_back(&models[k]);
    std::uniform_real_distribution<double> limit(1.0, 4.0);
    for (int k = std::max(1, surfaces - required); k < surfaces; ++k)
      extras.required.push_back({&models[k], limit(random)});
    LaminateRules skinRules, stiffenerRules;
    skinRules.balance = coin(random);
    skinRules.fourPlyRule = coin(random);
    stiffenerRules.balance = coin(random);
    if (trial % 3 == 0) testing::addRandomGuidelines(stiffenerRules, random);
    const int ts = plyTotal(random), tt = plyTotal(random);
    SCOPED_TRACE("trial " + std::to_string(trial));

    ExhaustiveSearch exhaustive(models[0], skinRules, stiffenerRules);
    SimultaneousSearch tree(models[0], skinRules, stiffenerRules, 3u);
    SimultaneousSearch tight(models[0], skinRules, stiffenerRules, 3u, true);
    // Every eighth trial runs its whole tree in batches of two to four designs.
    const bool batched = trial % 8 == 7;
    const int roots = batched ? testing::kNoHandOver : 1 + trial % 3;
    const int batch = 2 + trial % 3;
    if (trial % 4 != 0) tight.setParallelism(2, testing::budgetOf(trial), roots);
    if (batched) tight.setExpansionBatch(batch, true);
    for (AlternativeSearch* search : {static_cast<AlternativeSearch*>(&exhaustive),
                                      static_cast<AlternativeSearch*>(&tree),
                                      static_cast<AlternativeSearch*>(&tight)}) {
      search->setExtraSurfaces(extras);
      search->setStepCounterShown(false);
      search->run(ts, tt);
    }
    const auto expected = testing::sortedDesignTexts(exhaustive.results());
    if (trial % 4 == 3) {  // two threads without a budget take the steps of one
      SimultaneousSearch alone(models[0], skinRules, stiffenerRules, 3u, true);
      alone.setParallelism(1, 0, roots);
      if (batched) alone.setExpansionBatch(batch);
      alone.setExtraSurfaces(extras);
      alone.setStepCounterShown(false);
      alone.run(ts, tt);
      EXPECT_EQ(alone.totalSteps(), tight.totalSteps());
    }
    EXPECT_EQ(testing::sortedDesignTexts(tree.results()), expected);
    EXPECT_EQ(testing::sortedDesignTexts(tight.results()), expected);
    for (const PanelDesign& design : tight.results()) {
      double smallest = valueOf(models[0], design);
      for (const ResponseSurface* mode : extras.minOf) smallest = std::min(smallest, valueOf(*mode, design));
      EXPECT_EQ(design.value, smallest);
      for (const SurfaceRequirement& r : extras.required) EXPECT_GE(valueOf(*r.surface, design), r.limit);
      EXPECT_TRUE(checkComplete(design.skin, skinRules) && checkComplete(design.stiffener, stiffenerRules));
    }
    nonEmpty += !expected.empty();
    infeasible += expected.empty() && !extras.required.empty();
    if (trial % 4 != 0) reached.count(tight.shareOut(), testing::budgetOf(trial));
    if (batched) reached.countBatches(tight.shareOut());
  }
  EXPECT_GE(nonEmpty, 100);
  EXPECT_GE(infeasible, 5);
  reached.print();
}

// A mode that is constant where the others pass it ties millions of designs. The tied designs
// may take half the memory budget: past it the search stops, says why, and keeps what it holds.
TEST(FailureModesTest, APlateauOfTiesStopsAtTheMemoryBudget) {
  const ResponseSurface plateau = testing::makeSurface({Term{0, 1.0}});
  const ResponseSurface above = testing::makeSurface({Term{0, 2.0}, Term{testing::linearCode(1), 0.5}});
  ExtraSurfaces extras;
  extras.minOf.push_back(&plateau);
  constexpr std::int64_t kHeld = 40;
  const LaminateRules free = testing::freeRules();
  for (const int threads : {1, 2}) {
    SimultaneousSearch tight(above, free, free, 3u, true);
    tight.setParallelism(threads, 2 * threads * kHeld * static_cast<std::int64_t>(sizeof(PanelDesign)), 4, 1);
    tight.setExtraSurfaces(extras);
    tight.setStepCounterShown(false);
    tight.run(12, 16);
    EXPECT_EQ(tight.stopReason(), StopReason::MemoryLimit);
    EXPECT_GT(tight.results().size(), 0u);
    // Past the limit only the children of the design being expanded are completed.
    EXPECT_LE(tight.results().size(), static_cast<std::size_t>(threads * (kHeld + 9 * 81)));
    for (const PanelDesign& design : tight.results()) EXPECT_EQ(design.value, 1.0);
  }
}

}  // namespace
}  // namespace kelm
