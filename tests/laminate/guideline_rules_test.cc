#include "laminate/guideline_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "laminate/design_rules.h"
#include "laminate/fixed_ply_numbers.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

LaminateRules guidelineRules(double share, int run, bool noJump, bool outer45) {
  LaminateRules rules;
  rules.balance = false;
  rules.minSharePercent = share;
  rules.maxRun = run;
  rules.noCrossPlyJump = noJump;
  rules.outer45 = outer45;
  return rules;
}

// Depth first over every sequence of a laminate: whether some completion of `prefix` passes the
// complete check. On the way, for each prefix the search would reach (every shorter prefix
// passed), the partial check must pass exactly when some completion passes.
bool completable(const StackingSequence& prefix, const LaminateRules& rules, bool reached,
                 const std::string& trace) {
  if (prefix.complete()) return checkComplete(prefix, rules);
  bool any = false;
  for (int code = 0; code < 3; ++code) {
    StackingSequence child = prefix;
    child.setTheta(child.setCount() + 1, code);
    const bool passes = checkPartial(child, rules);
    const bool some = completable(child, rules, reached && passes, trace);
    if (reached) {
      EXPECT_EQ(passes, some) << trace << " " << child.bracketText();
    }
    any = any || some;
  }
  return any;
}

// Each guideline alone: a partial sequence passes exactly when some completion passes.
TEST(GuidelineRulesTest, EachGuidelineCutsExactlyThePrefixesWithNoPassingCompletion) {
  std::vector<LaminateRules> alone;
  for (double share : {10.0, 20.0, 33.0}) alone.push_back(guidelineRules(share, 0, false, false));
  for (int run : {1, 2, 3, 4}) alone.push_back(guidelineRules(0, run, false, false));
  alone.push_back(guidelineRules(0, 0, true, false));
  alone.push_back(guidelineRules(0, 0, false, true));
  for (const LaminateRules& rules : alone) {
    for (int total = 1; total <= 16; ++total) {
      const StackingSequence empty = testing::makeSequence(total, {});
      const std::string trace = "share " + std::to_string(rules.minSharePercent) + " run " +
                                std::to_string(rules.maxRun) + " jump " +
                                std::to_string(rules.noCrossPlyJump) + " outer " +
                                std::to_string(rules.outer45) + " total " + std::to_string(total);
      const bool reached = checkPartial(empty, rules);
      EXPECT_EQ(reached, completable(empty, rules, reached, trace)) << trace;
    }
  }
}

// --max-run=4 admits exactly what the 4-ply rule admits.
TEST(GuidelineRulesTest, RunLimitOfFourIsTheFourPlyRule) {
  LaminateRules fourPly;
  fourPly.balance = false;
  fourPly.fourPlyRule = true;
  const LaminateRules maxRun = guidelineRules(0, 4, false, false);
  for (int total : {3, 5, 12, 14}) {
    const int h = total - total / 2;
    std::vector<int> codes(h, 0);
    for (int index = 0; index < static_cast<int>(std::pow(3, h)); ++index) {
      for (int i = 0, rest = index; i < h; ++i, rest /= 3) codes[i] = rest % 3;
      const StackingSequence s = testing::makeSequence(total, codes);
      ASSERT_EQ(checkComplete(s, fourPly), checkComplete(s, maxRun)) << s.bracketText();
    }
  }
}

// The refusal of fixed numbers up front agrees with trying every sequence of those numbers.
TEST(GuidelineRulesTest, FixedNumbersAreRefusedExactlyWhenNoSequenceMeetsThem) {
  int refused = 0, allowed = 0;
  for (int total = 3; total <= 14; ++total) {
    const int h = total - total / 2;
    for (int combo = 0; combo < 48; ++combo) {
      LaminateRules rules = guidelineRules(combo % 3 == 0 ? 0.0 : combo % 3 == 1 ? 10.0 : 25.0,
                                           combo / 3 % 4, combo / 12 % 2 == 1, combo / 24 == 1);
      rules.fourPlyRule = combo % 5 == 0;
      if (!rules.guidelines()) continue;
      rules.plyTotal = total;
      rules.halfPlyCount = h;
      for (int n0 = 0; n0 <= h; ++n0) {
        for (int n45 = 0; n0 + n45 <= h; ++n45) {
          rules.plyNumbersFixed = true;
          rules.ply0 = n0;
          rules.ply45 = n45;
          rules.ply90 = h - n0 - n45;
          rules.plyMin = std::min({rules.ply0, rules.ply45, rules.ply90});
          bool some = false;
          std::vector<int> codes(h, 0);
          for (int index = 0; !some && index < static_cast<int>(std::pow(3, h)); ++index) {
            for (int i = 0, rest = index; i < h; ++i, rest /= 3) codes[i] = rest % 3;
            some = checkComplete(testing::makeSequence(total, codes), rules);
          }
          const bool fourPlyFits = !rules.fourPlyRule || fourPlyRuleAllows(n0, n45, h - n0 - n45);
          ASSERT_EQ(fourPlyFits && guidelinesAllowFixedNumbers(rules), some)
              << "total " << total << " combo " << combo << " numbers " << n0 << " " << n45;
          (some ? allowed : refused) += 1;
        }
      }
    }
  }
  EXPECT_GT(refused, 100);
  EXPECT_GT(allowed, 100);
}

}  // namespace
}  // namespace kelm

namespace kelm {
namespace {

// Under any mix of rules, a complete sequence that passes every rule was never cut on its way:
// the partial checks may not be stricter than the complete ones.
TEST(GuidelineRulesTest, NoPassingSequenceIsCutOnItsWayUnderAnyMixOfRules) {
  std::mt19937 random(5);
  for (int mix = 0; mix < 200; ++mix) {
    LaminateRules rules;
    testing::addRandomGuidelines(rules, random);
    rules.balance = random() % 2 == 0;
    rules.fourPlyRule = random() % 3 == 0;
    const int total = 1 + static_cast<int>(random() % 14);
    const int h = total - total / 2;
    std::vector<int> codes(h, 0);
    for (int index = 0; index < static_cast<int>(std::pow(3, h)); ++index) {
      for (int i = 0, rest = index; i < h; ++i, rest /= 3) codes[i] = rest % 3;
      StackingSequence s = testing::makeSequence(total, {});
      bool cut = !checkPartial(s, rules);
      for (int p = 1; p <= h; ++p) {
        s.setTheta(p, codes[p - 1]);
        cut = cut || !checkPartial(s, rules);
      }
      if (checkComplete(s, rules)) {
        ASSERT_FALSE(cut) << "mix " << mix << " " << s.bracketText() << " share "
                          << rules.minSharePercent << " run " << rules.maxRun << " jump "
                          << rules.noCrossPlyJump << " outer " << rules.outer45 << " balance "
                          << rules.balance << " four " << rules.fourPlyRule;
      }
    }
  }
}

}  // namespace
}  // namespace kelm
