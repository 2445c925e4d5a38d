#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "alt/trade_off_weights.h"

namespace kelm {
namespace {

// The least largest combination is the linear programme's optimum: no weights of a fine grid
// over the simplex do better, and the weights found are weights (non-negative, summing to 1).
// Points in a narrow band, as designs near a kink are, put the optimum off any coarse grid.
TEST(TradeOffWeightsTest, NoWeightsOfAFineGridCombineLower) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> spread(-0.05, 0.05);
  for (int trial = 0; trial < 60; ++trial) {
    const int surfaces = 2 + trial % 3;
    std::vector<std::vector<double>> points(1 + trial % 25, std::vector<double>(surfaces));
    for (auto& p : points)
      for (double& v : p) v = 1.8 + spread(random);
    const std::vector<double> weights = leastLargestCombination(points);
    ASSERT_EQ(weights.size(), static_cast<std::size_t>(surfaces));
    double sum = 0.0;
    for (double w : weights) {
      EXPECT_GE(w, 0.0);
      sum += w;
    }
    EXPECT_NEAR(sum, 1.0, 1e-12);
    const double least = largestCombination(points, weights);
    constexpr int kSteps = 40;
    std::vector<double> w(surfaces);
    for (int a = 0; a <= kSteps; ++a)
      for (int b = 0; a + b <= kSteps; ++b)
        for (int c = 0; a + b + c <= kSteps; ++c) {
          if (surfaces < 4 && c > 0) continue;
          if (surfaces < 3 && b > 0) continue;
          w[0] = a / double(kSteps), w[1] = b / double(kSteps);
          if (surfaces > 2) w[2] = c / double(kSteps);
          w[surfaces - 1] += 1.0 - (a + b + c) / double(kSteps);
          EXPECT_LE(least, largestCombination(points, w) + 1e-12) << "trial " << trial;
          w.assign(surfaces, 0.0);
        }
  }
  EXPECT_TRUE(leastLargestCombination({{1.0}}).empty());
  EXPECT_TRUE(leastLargestCombination({}).empty());
}

}  // namespace
}  // namespace kelm
