#include <gtest/gtest.h>

#include <vector>

#include "alt/shared_counts.h"
#include "search/tie_rule.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

using testing::linearCode;

// Two modes that pull the skin's first in-plane parameter opposite ways: one is best with 0
// plies, the other with 90 plies, and the smallest of them is 1 at most (equal counts). Each
// mode alone reaches 2; only the counts both modes keep show that the smallest cannot pass 1.
TEST(SharedCountsTest, ModesNeedingOppositeCountsCutWhatEachLeavesOpen) {
  const ResponseSurface zeros = testing::makeSurface({{0, 1.0}, {linearCode(1), 1.0}});
  const ResponseSurface nineties = testing::makeSurface({{0, 1.0}, {linearCode(1), -1.0}});
  const LaminateRules rules;
  CountCoupledBound first, second;
  first.setModel(zeros, 8, 8, rules, rules);
  second.setModel(nineties, 8, 8, rules, rules);
  PanelDesign root{testing::makeSequence(8, {}), testing::makeSequence(8, {}), 0.0};
  SharedCounts shared;
  shared.setPositions(halfPositions(8), halfPositions(8));

  for (const double best : {1.5, 1.1, 0.9}) {
    SCOPED_TRACE(best);
    ASSERT_TRUE(canReach(first.evaluate(root, best), best));
    ASSERT_TRUE(canReach(second.evaluate(root, best), best));
    double key = 2.0;
    const bool open = shared.allow({{&first, best, true}, {&second, best, true}}, key);
    // Open exactly when the best is within reach of equal counts; the key still bounds them.
    EXPECT_EQ(open, best < 1.0);
    if (open) {
      EXPECT_GE(key, 1.0);
    }
  }
}

}  // namespace
}  // namespace kelm
