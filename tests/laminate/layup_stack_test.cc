#include "laminate/layup_stack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/test_surfaces.h"

namespace kelm {
namespace {

// Every laminate of up to seven positions: the stack is the whole symmetric laminate, its signs
// balance it exactly when the counts allow (an even number of +-45 positions off the
// mid-plane), and neighbouring +-45 plies of the half never share a sign.
TEST(LayupStackTest, SignsBalanceTheLaminateWheneverTheCountsAllow) {
  for (int total = 1; total <= 14; ++total) {
    const int h = total - total / 2;
    std::vector<int> codes(h, 0);
    for (int index = 0; index < static_cast<int>(std::pow(3, h)); ++index) {
      for (int i = 0, rest = index; i < h; ++i, rest /= 3) codes[i] = rest % 3;
      const LayupStack stack = layupStack(testing::makeSequence(total, codes));
      ASSERT_EQ(static_cast<int>(stack.angles.size()), total);
      for (int i = 0; i < total; ++i) ASSERT_EQ(stack.angles[i], stack.angles[total - 1 - i]);
      int offMidPlane = 0;
      for (int p = 0; p < h; ++p)
        if (codes[p] == 1 && !(total % 2 != 0 && p == h - 1)) ++offMidPlane;
      const bool midPlane45 = total % 2 != 0 && codes[h - 1] == 1;
      ASSERT_EQ(stack.plus45 == stack.minus45, offMidPlane % 2 == 0 && !midPlane45)
          << layupText(stack);
      for (int p = 1; p < h; ++p) {
        if (codes[p - 1] == 1 && codes[p] == 1) {
          ASSERT_NE(stack.angles[p - 1], stack.angles[p]);
        }
      }
    }
  }
  const LayupStack sample = layupStack(testing::makeSequence(8, {1, 1, 0, 2}));
  EXPECT_EQ(layupText(sample), "[+45/-45/0/90/90/0/-45/+45]");
  EXPECT_NE(signSentence(sample).find("the laminate is balanced (2 +45, 2 -45)"),
            std::string::npos);
}

}  // namespace
}  // namespace kelm
