#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "alt/ply_order.h"
#include "alt/simultaneous_search.h"
#include "support/test_surfaces.h"
#include "support/capture.h"

namespace kelm {
namespace {

// The laminates that receive plies along any path of the tree, from the root until both lack
// only their last two positions: 'S' for the skin, 'T' for the stiffener, walked with the
// order the search itself consults; more than ns + nt plies means overshooting.
std::string plyOrder(int ns, int nt) {
  const PlyOrder order(ns, nt);
  int ks = 0;
  int kt = 0;
  bool skinActive = order.rootExtendsSkin();
  std::string path;
  while (!(ks == ns - 2 && kt == nt - 2) && static_cast<int>(path.size()) <= ns + nt) {
    const bool next = order.childrenExtendSkin(ks, kt, skinActive);
    (skinActive ? ks : kt) += 1;
    path += skinActive ? 'S' : 'T';
    skinActive = next;
  }
  return path;
}

TEST(PlyOrderTest, PlyWeightsFallFromTheSurfaceInwardAndSumToOne) {
  EXPECT_DOUBLE_EQ(plyWeight(5, 1), 1.0 - std::pow(0.8, 4.0));
  EXPECT_DOUBLE_EQ(plyWeight(4, 4), std::pow(0.25, 4.0));
  for (int n : {3, 5, 8, 21}) {
    double sum = 0.0;
    for (int j = 1; j <= n; ++j) {
      sum += plyWeight(n, j);
      if (j > 1) {
        EXPECT_LT(plyWeight(n, j), plyWeight(n, j - 1)) << n << " " << j;
      }
    }
    EXPECT_NEAR(sum, 1.0, 1e-15) << n;
  }
}

TEST(PlyOrderTest, LaminatesTakeTurnsByTheWeightOfTheirNextPosition) {
  EXPECT_EQ(plyOrder(5, 8), "STSTTSTTT");  // totals 10 and 16
  EXPECT_EQ(plyOrder(5, 5), "TSSTST");     // equal counts: the stiffener starts
  EXPECT_EQ(plyOrder(8, 5), "TSTSSTSSS");  // totals 16 and 10
}

TEST(PlyOrderTest, NoLaminateIsSentPastItsLastTwoPositionsWhileTheOtherHasMoreOpen) {
  EXPECT_FALSE(extendSkinNext(3, 21, 1, 4, true));
  EXPECT_TRUE(extendSkinNext(21, 3, 4, 1, false));
  EXPECT_TRUE(extendSkinNext(3, 21, 0, 4, true));  // room left: the weights decide
  EXPECT_TRUE(extendSkinNext(2, 5, 0, 0, true));   // too thin to search; the driver stops it
  for (int ns = 3; ns <= 70; ++ns) {
    for (int nt = 3; nt <= 70; ++nt) {
      const std::string order = plyOrder(ns, nt);
      ASSERT_EQ(order.size(), static_cast<std::size_t>(ns + nt - 4)) << ns << " " << nt;
      ASSERT_EQ(std::count(order.begin(), order.end(), 'S'), ns - 2) << ns << " " << nt;
    }
  }
}

TEST(PlyOrderTest, SearchCompletesHalfCountsThreeAndTwentyOne) {
  using testing::linearCode;
  using testing::productCode;
  // The skin's groups favour 90 deg, the stiffener's 0 deg, with weak couplings between them:
  // all 90 deg on all 0 deg is the optimum, 6.9, and the bound prunes nearly everything else.
  const ResponseSurface surface = testing::makeSurface(
      {{0, 2.0}, {linearCode(1), -1.0}, {linearCode(2), 0.3}, {linearCode(5), -0.8},
       {linearCode(6), 0.2}, {linearCode(3), 0.9}, {linearCode(4), 0.4}, {linearCode(7), 0.7},
       {linearCode(8), 0.5}, {productCode(1, 3), 0.2}, {productCode(5, 8), -0.2},
       {productCode(2, 7), 0.1}});
  const LaminateRules balanced;
  for (auto [ts, tt] : {std::pair{6, 42}, std::pair{42, 6}, std::pair{5, 41}, std::pair{41, 5}}) {
    SCOPED_TRACE(std::to_string(ts) + "/" + std::to_string(tt));
    SimultaneousSearch search(surface, balanced, balanced, 9u);
    testing::CapturedStreams captured;
    search.run(ts, tt);
    EXPECT_EQ(captured.err().find("error"), std::string::npos);
    EXPECT_GT(search.completedCount(), 0);
    ASSERT_EQ(search.results().size(), 1u);
    const int ns = ts - ts / 2;
    const int nt = tt - tt / 2;
    EXPECT_EQ(search.results()[0].skin, testing::makeSequence(ts, std::vector<int>(ns, 2)));
    EXPECT_EQ(search.results()[0].stiffener, testing::makeSequence(tt, std::vector<int>(nt, 0)));
    EXPECT_NEAR(search.best(), 6.9, 1e-12);
  }
}

}  // namespace
}  // namespace kelm
