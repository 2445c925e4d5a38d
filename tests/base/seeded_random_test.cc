#include <gtest/gtest.h>

#include <vector>

#include "base/seeded_random.h"

namespace kelm {
namespace {

TEST(CRandTest, FixedSeedGivesFixedDraws) {
  CRand first(1), second(1);
  EXPECT_EQ(std::vector({first.next(), first.next(), first.next()}),
            std::vector({41, 18467, 6334}));
  for (int i = 0; i < 3; ++i) second.next();
  for (int i = 0; i < 100; ++i) ASSERT_EQ(first.next(), second.next());
}

}  // namespace
}  // namespace kelm
