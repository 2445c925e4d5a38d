#include "cli/extension_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/failure.h"

namespace kelm {
namespace {

using Args = std::vector<std::string>;

TEST(ExtensionOptionsTest, TakenOutWhereverTheyStandTheRestKeepsItsMeaning) {
  Args args{"--seed=1000", "-bf", "--json=out.json", "24", "--time-limit=2.5", "16", "a.rs"};
  const ExtensionOptions taken = takeExtensionOptions(args, Program::Alt);
  EXPECT_EQ(args, (Args{"-bf", "24", "16", "a.rs"}));
  EXPECT_EQ(taken.seed, 1000u);
  EXPECT_EQ(taken.jsonFile, "out.json");
  EXPECT_EQ(taken.timeLimit, 2.5);
  EXPECT_FALSE(taken.help || taken.version);

  // -h is help only on its own; other look-alikes are ordinary arguments.
  Args alone{"-h"}, among{"-h", "24", "16", "a.rs"}, lookAlike{"--seed", "--jsonx=1", "-help"};
  EXPECT_TRUE(takeExtensionOptions(alone, Program::Iter).help);
  EXPECT_FALSE(takeExtensionOptions(among, Program::Iter).help);
  EXPECT_EQ(among.size(), 4u);
  takeExtensionOptions(lookAlike, Program::Iter);
  EXPECT_EQ(lookAlike.size(), 3u);

  // Both searches know --tight; for kelm_eval it is an ordinary argument.
  Args tightAlt{"--tight", "24"}, tightIter{"24", "--tight"}, tightEval{"--tight", "24"};
  EXPECT_TRUE(takeExtensionOptions(tightAlt, Program::Alt).tight);
  EXPECT_TRUE(takeExtensionOptions(tightIter, Program::Iter).tight);
  EXPECT_EQ(tightIter, (Args{"24"}));
  EXPECT_FALSE(takeExtensionOptions(tightEval, Program::Eval).tight);
  EXPECT_EQ(tightEval.size(), 2u);

  // kelm_eval knows --help, --version and the guidelines.
  Args eval{"--version", "--seed=1", "--outer-45", "--max-run=3", "--min-share=12.5", "a.rs"};
  const ExtensionOptions evalTaken = takeExtensionOptions(eval, Program::Eval);
  EXPECT_TRUE(evalTaken.version && evalTaken.outer45 && !evalTaken.noCrossPlyJump);
  EXPECT_EQ(evalTaken.maxRun, 3);
  EXPECT_EQ(evalTaken.minSharePercent, 12.5);
  EXPECT_EQ(eval, (Args{"--seed=1", "a.rs"}));
}

TEST(ExtensionOptionsDeathTest, ValuesOutOfRangeAreRefusedWithOneMessage) {
  const auto take = [](std::string arg) {
    Args args{arg};
    takeExtensionOptions(args, Program::Alt);
  };
  for (const char* seed : {"--seed=", "--seed=-1", "--seed=4294967296", "--seed=12x"})
    EXPECT_FAILS_WITH(take(seed), "^error: --seed= takes a whole number") << seed;
  Args largest{"--seed=4294967295"};
  EXPECT_EQ(takeExtensionOptions(largest, Program::Alt).seed, 4294967295u);
  for (const char* limit : {"--time-limit=0", "--time-limit=-3", "--time-limit=nan", "--time-limit=1s"})
    EXPECT_FAILS_WITH(take(limit), "^error: --time-limit= takes") << limit;
  EXPECT_FAILS_WITH(take("--json="), "^error: --json= needs a file name\n$");
  for (const char* share : {"--min-share=0", "--min-share=33.5", "--min-share=x"})
    EXPECT_FAILS_WITH(take(share), "^error: --min-share= takes a percentage") << share;
  for (const char* run : {"--max-run=0", "--max-run=-1", "--max-run=2.5"})
    EXPECT_FAILS_WITH(take(run), "^error: --max-run= takes a whole number") << run;
}

}  // namespace
}  // namespace kelm
