// Selecting among a stopped search's lists by their values alone keeps what entering the
// designs one by one keeps, in the same order.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "search/tie_rule.h"

namespace {

using kelm::TiedBest;

TEST(TieRuleTest, MarkingListsKeepsWhatEnteringThemOneByOneKeeps) {
  std::mt19937 random(7);
  // Values a few tolerances apart, so that bands drift, replace and tie.
  std::uniform_int_distribution<int> steps(0, 6);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::vector<int>> lists(1 + round % 3);
    std::vector<std::vector<double>> values(lists.size());
    std::vector<std::vector<char>> passed(lists.size());
    TiedBest<int> oneByOne;
    int id = 0;
    for (std::size_t l = 0; l < lists.size(); ++l) {
      for (int i = round % 7; i < 12; ++i) {
        lists[l].push_back(id++);
        values[l].push_back(1.0 + steps(random) * 0.6e-13);
        passed[l].push_back(steps(random) == 0);
        if (!passed[l].back()) oneByOne.keepLargest(lists[l].back(), values[l].back());
      }
    }
    TiedBest<int> marked;
    for (std::size_t l = 0; l < lists.size(); ++l) {
      std::vector<char> kept;
      marked.markLargest(values[l], passed[l], kept);
      std::vector<int> held;
      for (std::size_t i = 0; i < kept.size(); ++i)
        if (kept[i]) held.push_back(lists[l][i]);
      marked.append(std::move(held));
    }
    EXPECT_EQ(marked.designs(), oneByOne.designs()) << round;
    EXPECT_EQ(marked.best(), oneByOne.best()) << round;
  }
}

}  // namespace
