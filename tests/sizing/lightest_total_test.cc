#include "sizing/lightest_total.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "support/test_surfaces.h"

namespace kelm {
namespace {

using Outcome = TotalsDecision::Outcome;

// Totals 8, 10 and 12 of one laminate under a constant surface of 1: required to reach 2 at 8
// plies (out of reach), 0.5 elsewhere; the search finds a design at 12 plies only.
struct ThreeTotals {
  const ResponseSurface flat = testing::makeSurface({{0, 1.0}});
  std::vector<PlyTotals> totals = {{12, 0, 12.0}, {8, 0, 8.0}, {10, 0, 10.0}};
  std::vector<int> searched;
  double used = 0.0;
  SizingSteps steps;

  ThreeTotals() {
    sortLightestFirst(totals);
    steps.setUp = [this](const PlyTotals& t) {
      TotalsSetUp setUp;
      setUp.skinRules.plyTotal = t.skin;
      setUp.requirements.push_back({&flat, t.skin == 8 ? 2.0 : 0.5});
      return setUp;
    };
    steps.search = [this](const PlyTotals& t, std::optional<double>) {
      searched.push_back(t.skin);
      return TotalsSearched{false, t.skin == 12, 5, 0.25};
    };
    steps.secondsUsed = [this] { return used; };
  }
};

TEST(LightestTotalTest, SkipsWhatTheBoundRulesOutAndEndsAtTheFirstDesign) {
  ThreeTotals run;
  const Sizing sizing = sizeLightestFirst(run.totals, std::nullopt, run.steps);
  EXPECT_EQ(run.searched, (std::vector<int>{10, 12}));  // 8 never searched
  ASSERT_EQ(sizing.decisions.size(), 3u);
  EXPECT_EQ(sizing.decisions[0].outcome, Outcome::Skipped);
  EXPECT_EQ(sizing.decisions[0].requirement, 0);
  EXPECT_LT(sizing.decisions[0].bound, 2.0);
  EXPECT_EQ(sizing.decisions[1].outcome, Outcome::None);
  EXPECT_EQ(sizing.decisions[1].steps, 5);
  EXPECT_TRUE(sizing.found());
  EXPECT_EQ(sizing.decisions.back().totals.skin, 12);
}

TEST(LightestTotalTest, ASpentLimitStillSkipsButSearchesNothing) {
  ThreeTotals run;
  run.used = 5.0;
  const Sizing sizing = sizeLightestFirst(run.totals, 1.0, run.steps);
  EXPECT_TRUE(run.searched.empty());
  ASSERT_EQ(sizing.decisions.size(), 2u);
  EXPECT_EQ(sizing.decisions[0].outcome, Outcome::Skipped);
  EXPECT_EQ(sizing.decisions[1].outcome, Outcome::Stopped);
  EXPECT_TRUE(sizing.stopped());
  EXPECT_FALSE(sizing.found());
}

}  // namespace
}  // namespace kelm
