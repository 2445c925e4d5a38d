#include "iter/design_history.h"

#include <gtest/gtest.h>

#include "support/test_surfaces.h"

namespace kelm {
namespace {

using testing::makeSequence;

PanelDesign design(std::vector<int> skin, std::vector<int> stiffener, double value) {
  PanelDesign d;
  d.skin = makeSequence(6, skin);
  d.stiffener = makeSequence(5, stiffener);
  d.value = value;
  return d;
}

// Lookups go by sequence equality, and stay right after pruning has moved designs.
TEST(DesignHistoryTest, FindsDesignsBySequenceAndForgetsThePrunedOnes) {
  DesignHistory history;
  for (int i = 0; i < 27; ++i)
    history.add(design({i % 3, i / 3 % 3, i / 9}, {0, 1, 2}, 0.1 * i));
  EXPECT_TRUE(history.contains(design({2, 0, 1}, {0, 1, 2}, -5.0)));
  EXPECT_FALSE(history.contains(design({2, 0, 1}, {0, 1, 1}, 0.0)));
  PanelDesign otherTotal = design({2, 0, 1}, {0, 1, 2}, 0.0);
  otherTotal.stiffener = makeSequence(6, {0, 1, 2});  // same codes, no mid-plane ply
  EXPECT_FALSE(history.contains(otherTotal));

  history.pruneBelow(1.0);  // keeps 1.0 - 1e-13 and above: i >= 10
  EXPECT_EQ(history.designs().size(), 17u);
  EXPECT_FALSE(history.contains(design({0, 0, 1}, {0, 1, 2}, 0.9)));   // i = 9
  EXPECT_TRUE(history.contains(design({1, 0, 1}, {0, 1, 2}, 1.0)));    // i = 10
  EXPECT_TRUE(history.contains(design({2, 2, 2}, {0, 1, 2}, 2.6)));    // i = 26
  history.add(design({0, 0, 0}, {0, 0, 0}, 3.0));
  EXPECT_TRUE(history.contains(design({0, 0, 0}, {0, 0, 0}, 0.0)));
  EXPECT_EQ(history.designs().back().value, 3.0);
}

}  // namespace
}  // namespace kelm
