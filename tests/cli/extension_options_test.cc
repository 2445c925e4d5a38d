#include "cli/extension_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelm {
namespace {

using Args = std::vector<std::string>;
using ::testing::ExitedWithCode;

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

  // kelm_eval knows only --help and --version.
  Args eval{"--version", "--seed=1", "a.rs"};
  EXPECT_TRUE(takeExtensionOptions(eval, Program::Eval).version);
  EXPECT_EQ(eval, (Args{"--seed=1", "a.rs"}));
}

TEST(ExtensionOptionsDeathTest, ValuesOutOfRangeAreRefusedWithOneMessage) {
  const auto take = [](std::string arg) {
    Args args{arg};
    takeExtensionOptions(args, Program::Alt);
  };
  for (const char* seed : {"--seed=", "--seed=-1", "--seed=4294967296", "--seed=12x"})
    EXPECT_EXIT(take(seed), ExitedWithCode(1), "^error: --seed= takes a whole number") << seed;
  Args largest{"--seed=4294967295"};
  EXPECT_EQ(takeExtensionOptions(largest, Program::Alt).seed, 4294967295u);
  for (const char* limit : {"--time-limit=0", "--time-limit=-3", "--time-limit=nan", "--time-limit=1s"})
    EXPECT_EXIT(take(limit), ExitedWithCode(1), "^error: --time-limit= takes") << limit;
  EXPECT_EXIT(take("--json="), ExitedWithCode(1), "^error: --json= needs a file name\n$");
}

}  // namespace
}  // namespace kelm
