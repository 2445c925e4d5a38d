#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "laminate/design_rules.h"
#include "laminate/fixed_ply_numbers.h"
#include "support/failure.h"
#include "support/capture.h"

namespace kelm {
namespace {

using Codes = std::vector<int>;

StackingSequence sequenceOf(int total, const Codes& codes) {
  StackingSequence s;
  s.setPlyTotal(total);
  for (std::size_t i = 0; i < codes.size(); ++i) s.setTheta(static_cast<int>(i) + 1, codes[i]);
  return s;
}

Codes codesOf(const StackingSequence& s) {
  Codes codes;
  for (int i = 1; i <= s.setCount(); ++i) codes.push_back(s.getCode(i));
  return codes;
}

void expectParameters(const StackingSequence& s, const std::array<double, 4>& expected) {
  const double lp[4] = {s.inPlaneLP()(1), s.inPlaneLP()(2), s.bendingLP()(1), s.bendingLP()(2)};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(lp[i], expected[i], 1e-15) << i;
}

// Straight from the plies: ply k of the half spans z = H-k .. H-k+1 (the mid-plane ply of an
// odd total 0 .. 0.5); in-plane weight its thickness over H, bending weight the difference of
// its cubed normalised faces.
void expectDirectParameters(const StackingSequence& s, int total, const Codes& codes) {
  constexpr double pi = std::numbers::pi;
  const double angles[4] = {0.0, pi / 4, pi / 2, -pi / 4}, h = total * 0.5;
  std::array<double, 4> lp{};
  double top = h;
  for (int c : codes) {
    const double bottom = std::max(top - 1.0, 0.0);
    const double a = (top - bottom) / h, d = std::pow(top / h, 3) - std::pow(bottom / h, 3);
    lp[0] += a * std::cos(2 * angles[c]), lp[1] += a * std::cos(4 * angles[c]);
    lp[2] += d * std::cos(2 * angles[c]), lp[3] += d * std::cos(4 * angles[c]);
    top = bottom;
  }
  expectParameters(s, lp);
}

std::string printed(const StackingSequence& s) {
  testing::CapturedStreams streams;
  s.printSequence();
  return streams.out();
}

TEST(StackingSequenceTest, LaminationParametersMatchDirectComputation) {
  const StackingSequence odd = sequenceOf(7, Codes(4, 0));
  EXPECT_TRUE(odd.plyCount() == 4 && odd.midPly() && odd.halfPlies() == 3.5);
  expectParameters(odd, {1, 1, 1, 1});
  expectParameters(sequenceOf(8, Codes(4, 0)), {1, 1, 1, 1});
  expectParameters(sequenceOf(8, Codes(4, 2)), {-1, 1, -1, 1});
  for (auto [total, codes] : {std::pair{9, Codes{1, 3, 0, 2, 2}},
                              std::pair{12, Codes{0, 1, 2, 3, 1, 0}}, std::pair{12, Codes{2, 0}}})
    expectDirectParameters(sequenceOf(total, codes), total, codes);
}

TEST(StackingSequenceTest, ResetThetaMatchesAFreshBuild) {
  StackingSequence s = sequenceOf(9, {0, 1, 2, 0, 1});
  s.resetTheta(2, 2);
  s.resetTheta(5, 0);  // the mid-plane ply
  EXPECT_EQ(codesOf(s), (Codes{0, 2, 2, 0, 0}));
  expectDirectParameters(s, 9, {0, 2, 2, 0, 0});
  s.resetTheta(2, 1);
  s.resetTheta(5, 1);
  expectDirectParameters(s, 9, {0, 1, 2, 0, 1});
}

// A packed open design is rebuilt when popped; pruning at 1e-13 needs its parameters to be
// the very bits the tree computed ply by ply.
TEST(StackingSequenceTest, RestoredFromPackedCodesEqualsTheSequenceBuiltPlyByPly) {
  std::mt19937 random(11);
  for (const int total : {1, 2, 9, 32, 63, 127, 128}) {
    const int positions = total - total / 2;
    for (int trial = 0; trial < 20; ++trial) {
      const int set = std::uniform_int_distribution<int>(0, positions)(random);
      Codes codes(set);
      for (int& code : codes) code = std::uniform_int_distribution<int>(0, 2)(random);
      const StackingSequence built = sequenceOf(total, codes);
      StackingSequence restored = sequenceOf(total, {2});  // another code before
      restored.restore(built.packedCodes(), set);
      ASSERT_EQ(restored.setCount(), set);
      for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(restored.parameters()[i], built.parameters()[i]) << total << " " << set;
      }
      if (set == positions) {
        EXPECT_TRUE(restored == built);
      }
    }
  }
}

TEST(StackingSequenceTest, OutOfRangeReadsWarnAndReturnZero) {
  const StackingSequence s = sequenceOf(8, {2, 1});
  testing::CapturedStreams streams;
  EXPECT_EQ(s.getCode(0) + s.getCode(5) + sequenceOf(150, {1}).getCode(1000), 0);
  EXPECT_EQ(s.getTheta(0) + s.getTheta(5), 0.0);
  EXPECT_EQ(streams.err().substr(0, 61),
            "error: @getCode" "error: @getCode" "error: @getCode" "error: @getTheta");
  EXPECT_EQ(s.getTheta(1), std::numbers::pi / 2);
}

TEST(StackingSequenceTest, SettingOutOfOrderOrRangeEndsRun) {
  StackingSequence s = sequenceOf(8, {0});
  for (int at : {0, 5}) EXPECT_FAILS_WITH(s.setTheta(at, 0), "^error1: @setTheta$");
  for (int at : {1, 3}) EXPECT_FAILS_WITH(s.setTheta(at, 0), "^error2: @setTheta$");
  EXPECT_FAILS_WITH(s.setTheta(2, 4), "^error @ decode$");
}

TEST(StackingSequenceTest, PrintsBracketNotationWithMidPlaneMarker) {
  EXPECT_EQ(printed(sequenceOf(8, {1, 3, 0, 2})), "[45/-45/0/90]s");
  EXPECT_EQ(printed(sequenceOf(8, {1, 3})), "[45/-45/*/*]s");
  EXPECT_EQ(printed(sequenceOf(5, {0, 1, 2})), "      __\n[0/45/90]s");
  EXPECT_EQ(printed(sequenceOf(5, {2, 1, 0})), "       _\n[90/45/0]s");
  EXPECT_EQ(printed(sequenceOf(5, {})), "     _\n[*/*/*]s");
  std::string text = "[-45";
  for (int i = 2; i <= 101; ++i) text += "/-45";
  text += "]s";
  const std::string marker = std::string(text.size() - 4, ' ') + "__\n";
  EXPECT_EQ(printed(sequenceOf(201, Codes(101, 3))), marker + text);
}

TEST(StackingSequenceTest, EqualityAndDeepCopiesInlineAndOnTheHeap) {
  StackingSequence a = sequenceOf(8, {0, 1, 2, 1});
  EXPECT_TRUE(a == sequenceOf(8, {0, 1, 2, 1}));
  EXPECT_FALSE(a == sequenceOf(8, {0, 1, 2, 2}) || a == sequenceOf(7, {0, 1, 2, 1}));
  EXPECT_FALSE(sequenceOf(0, {}) == sequenceOf(0, {}));

  Codes codes(100);
  for (int i = 0; i < 100; ++i) codes[i] = (i * 7) % 4;
  const StackingSequence original = sequenceOf(200, codes);  // more positions than fit inline
  StackingSequence copy(original), small = sequenceOf(8, {1, 1}), other = sequenceOf(140, {});
  small = original;
  other = original;
  EXPECT_TRUE(codesOf(small) == codes && codesOf(other) == codes);
  copy.resetTheta(66, 3 - codes[65]);
  other.resetTheta(100, 3 - codes[99]);
  EXPECT_FALSE(copy == original || other == original);
  EXPECT_EQ(codesOf(original), codes);
  expectDirectParameters(small, 200, codes);
  EXPECT_EQ(StackingSequence(std::move(copy)).getCode(66), 3 - codes[65]);
}

// 64 positions (totals 127 and 128) still fit inline; 65 (totals 129, 130) go to the heap.
// Copies and assignments across the boundary in both directions stay deep and equal.
TEST(StackingSequenceTest, CopiesAcrossTheInlineCapacityBoundary) {
  for (int total : {127, 128, 129, 130}) {
    SCOPED_TRACE(total);
    const int positions = total / 2 + total % 2;
    Codes codes(positions);
    for (int i = 0; i < positions; ++i) codes[i] = (i * 5 + total) % 3;
    const StackingSequence full = sequenceOf(total, codes);
    EXPECT_EQ(full.midPly(), total % 2 != 0);
    StackingSequence copy = full, fromInline = sequenceOf(128, {2}), fromHeap = sequenceOf(130, {1});
    fromInline = full;
    fromHeap = full;
    for (const StackingSequence* s : {&copy, &fromInline, &fromHeap}) {
      EXPECT_TRUE(*s == full);
      EXPECT_EQ(codesOf(*s), codes);
      expectDirectParameters(*s, total, codes);
    }
    copy.resetTheta(positions, 3 - codes.back());
    EXPECT_FALSE(copy == full);
    EXPECT_EQ(codesOf(full), codes);
    fromHeap = std::move(copy);
    EXPECT_EQ(fromHeap.getCode(positions), 3 - codes.back());
  }
}

TEST(StackingSequenceDeathTest, TotalsBeyondTheCountsEndTheRun) {
  StackingSequence largest;
  largest.setPlyTotal(StackingSequence::kMaxPlyTotal);
  EXPECT_EQ(largest.plyCount(), 65535);
  EXPECT_FAILS_WITH(StackingSequence().setPlyTotal(StackingSequence::kMaxPlyTotal + 1), "^error: invalid ply number\n$");
  EXPECT_FAILS_WITH(StackingSequence().setPlyTotal(-1), "^error: invalid ply number\n$");
}

// The position at which a search would cut the branch, 0 when it never does.
int cutPosition(int total, const Codes& codes, const LaminateRules& rules) {
  StackingSequence s = sequenceOf(total, {});
  if (!checkPartial(s, rules)) return -1;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    s.setTheta(static_cast<int>(i) + 1, codes[i]);
    if (!checkPartial(s, rules)) return static_cast<int>(i) + 1;
  }
  return 0;
}

struct RuleCase { int total; Codes codes; bool admissible; int cutAt; };

void expectVerdicts(bool balance, bool fourPly, int fixedEach, const std::vector<RuleCase>& cases) {
  LaminateRules rules;
  rules.balance = balance;
  rules.fourPlyRule = fourPly;
  rules.plyNumbersFixed = fixedEach > 0;
  rules.ply0 = rules.ply45 = rules.ply90 = rules.plyMin = fixedEach;
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.codes) + " of total " + std::to_string(c.total));
    EXPECT_EQ(checkComplete(sequenceOf(c.total, c.codes), rules), c.admissible);
    EXPECT_EQ(cutPosition(c.total, c.codes, rules), c.cutAt);
  }
}

TEST(DesignRulesTest, FourPlyRuleLimitsRunsAndTheInnermostRun) {
  expectVerdicts(false, true, 0,
                 {{16, {0, 0, 0, 0, 2, 2, 1, 1}, true, 0}, {16, {0, 0, 0, 0, 0, 2, 1, 1}, false, 5},
                  {16, {2, 1, 1, 1, 1, 1, 1, 1}, true, 0}, {16, {0, 1, 2, 0, 1, 2, 2, 2}, false, 8},
                  {16, {0, 1, 2, 0, 1, 0, 2, 2}, true, 0}, {9, {1, 0, 2, 2, 2}, false, 5},
                  {8, {2, 0, 0, 0}, false, 4}, {4, {0, 0}, true, 0}});
}

// The verdict kelm_eval prints and the cuts the searches make come from two routines (the
// whole-laminate scan and the check of each new ply): on every laminate of up to eight
// positions they must agree, and the scan names the outermost run that breaks.
TEST(DesignRulesTest, FourPlyBreakAgreesWithTheSearchesCutsAndNamesTheOutermostRun) {
  LaminateRules fourPly;
  fourPly.balance = false;
  fourPly.fourPlyRule = true;
  for (int h = 1; h <= 8; ++h) {
    Codes codes(h, 0);
    for (int index = 0; index < static_cast<int>(std::pow(3, h)); ++index) {
      for (int i = 0, rest = index; i < h; ++i, rest /= 3) codes[i] = rest % 3;
      const bool broken = fourPlyBreak(sequenceOf(2 * h, codes)).has_value();
      ASSERT_EQ(broken, cutPosition(2 * h, codes, fourPly) != 0) << ::testing::PrintToString(codes);
    }
  }
  const auto run = [](int total, const Codes& codes) {
    const std::optional<PlyRun> broken = fourPlyBreak(sequenceOf(total, codes));
    return broken ? std::pair{broken->first, broken->last} : std::pair{0, 0};
  };
  EXPECT_EQ(run(16, {1, 0, 0, 0, 0, 0, 2, 2}), std::pair(2, 6));
  EXPECT_EQ(run(16, {1, 2, 0, 1, 1, 0, 0, 0}), std::pair(6, 8));  // innermost: at most two
  EXPECT_EQ(run(16, {1, 1, 1, 1, 1, 1, 1, 1}), std::pair(0, 0));
}

TEST(DesignRulesTest, BalancePairsPlusMinus45OutsideTheMidPlane) {
  expectVerdicts(true, false, 0, {{8, {1, 1, 0, 2}, true, 0}, {8, {1, 0, 0, 2}, false, 4},
                                  {7, {1, 1, 0, 2}, true, 0}, {7, {1, 1, 0, 1}, false, 4},
                                  {7, {1, 0, 2, 0}, false, 3}});
}

TEST(DesignRulesTest, FixedPlyNumbersCountEachOrientation) {
  expectVerdicts(false, false, 2,
                 {{12, {0, 1, 2, 2, 1, 0}, true, 0}, {12, {0, 0, 0, 1, 1, 2}, false, 3},
                  {12, {0, 1, 1, 1, 2, 0}, false, 4}, {12, {1, 1, 0, 0, 2, 2}, true, 0}});
}

// The closed-form answer against every half of up to ten positions: the ply numbers of the
// halves that keep the 4-ply rule are exactly those it allows.
TEST(DesignRulesTest, FourPlyRuleAllowsExactlyTheNumbersSomeHalfMeets) {
  LaminateRules fourPly;
  fourPly.balance = false;
  fourPly.fourPlyRule = true;
  for (int h = 1; h <= 10; ++h) {
    std::set<std::array<int, 3>> met;  // 0, +-45 and 90 deg counts
    Codes codes(h, 0);
    for (int n = 0, all = static_cast<int>(std::pow(3, h)); n < all; ++n) {
      for (int i = 0, rest = n; i < h; ++i, rest /= 3) codes[i] = rest % 3;
      if (!checkComplete(sequenceOf(2 * h, codes), fourPly)) continue;
      std::array<int, 3> counts{};
      for (int c : codes) ++counts[c];
      met.insert(counts);
    }
    for (int n0 = 0; n0 <= h; ++n0) {
      for (int n45 = 0; n0 + n45 <= h; ++n45) {
        const int n90 = h - n0 - n45;
        EXPECT_EQ(fourPlyRuleAllows(n0, n45, n90), met.count({n0, n45, n90}) == 1)
            << n0 << " " << n45 << " " << n90;
      }
    }
  }
  // Four 90 deg plies separate five runs of 0 deg, the innermost of two: 18 plies, not 19.
  // 10000 runs of four 0 deg plies need 9999 +-45 deg plies between them and one innermost.
  EXPECT_TRUE(fourPlyRuleAllows(18, 0, 4));
  EXPECT_FALSE(fourPlyRuleAllows(19, 0, 4));
  EXPECT_TRUE(fourPlyRuleAllows(40000, 10000, 0));
  EXPECT_FALSE(fourPlyRuleAllows(50000, 0, 0));
}

TEST(DesignRulesTest, IncompleteSequenceCannotBeJudgedComplete) {
  LaminateRules rules;
  rules.fourPlyRule = true;
  EXPECT_FAILS_WITH(checkComplete(sequenceOf(8, {0, 1, 2}), rules), "^cannot evaluate constraint!\n$");
}

}  // namespace
}  // namespace kelm
