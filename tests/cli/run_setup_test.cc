#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <tuple>

#include "cli/command_line.h"
#include "cli/ply_number_dialog.h"
#include "cli/ply_numbers_option.h"
#include "cli/run_setup.h"
#include "laminate/fixed_ply_numbers.h"
#include "support/failure.h"
#include "support/capture.h"

namespace kelm {
namespace {

using Args = std::vector<std::string>;
using Summary = std::tuple<int, int, std::string, std::string>;

const std::string kPrompts =
    "total ply number of panel skin\n : total ply number of stiffener\n : "
    "name of response surface file\n : option symbols followed hyphen (\"s\" to skip)\n"
    "  r : round robin search\n  b : balance rule (default)\n  n : non-balanced laminate\n"
    "  f : 4-ply rule\n  p : set ply number of each orientaion\n : ";
const std::string kSelect =
    "laminate to set ply number(panel skin->0  stiffener->1  both->2)\n   Select=\n";
const std::string kSkin = "## panel skin ##\nply number of each fiber orientation angle\n";
const std::string kStiffener = "## stiffener  ##\nply number of each fiber orientation angle\n";
std::string ask0(int most) { return "    0\x81\x8B(0-" + std::to_string(most) + ") : "; }
std::string ask45(int most) { return " \x81\x7D" "45\x81\x8B(0-" + std::to_string(most) + ") : "; }

RunOptions gather(const Args& args, const std::string& answers = "", std::string* shown = nullptr) {
  std::istringstream in(answers);
  std::ostringstream out;
  RunOptions options = gatherInputs(args, Program::Iter, in, out);
  if (shown != nullptr) *shown = out.str();
  return options;
}

Summary summary(const RunOptions& o) {
  return {o.skinPlyTotal, o.stiffenerPlyTotal, o.rsFileName, o.optionString};
}

RunOptions scanned(const std::string& letters) {
  RunOptions options;
  options.optionString = letters;
  scanOptionString(options);
  return options;
}

std::vector<int> plyNumbers(const LaminateRules& r) { return {r.ply0, r.ply45, r.ply90, r.plyMin}; }

TEST(ConsoleInputTest, ToIntTakesLeadingDigitsAndClamps) {
  EXPECT_EQ(std::vector({toInt("24"), toInt("16plies"), toInt("-3"), toInt("abc"), toInt("")}),
            std::vector({24, 16, -3, 0, 0}));
  EXPECT_EQ(std::pair(toInt("99999999999"), toInt("-99999999999")), std::pair(INT_MAX, INT_MIN));
}

TEST(ConsoleInputTest, CommandLineFormsOrPromptsInOrder) {
  EXPECT_EQ(summary(gather({"24", "16", "panel"})), Summary(24, 16, "panel", "-b"));
  const RunOptions four = gather({"-rf", "17", "8", "a.rs"});
  EXPECT_EQ(summary(four), Summary(17, 8, "a.rs", "-rf"));
  const RunOptions eight = gather({"-p", "24", "16", "4", "6", "2", "4", "b.rs"});
  EXPECT_EQ(summary(eight), Summary(24, 16, "b.rs", "-p"));
  EXPECT_TRUE(eight.plyNumbersGiven && !four.plyNumbersGiven);
  EXPECT_EQ(std::vector(eight.commandLinePlyNumbers, eight.commandLinePlyNumbers + 4),
            std::vector({4, 6, 2, 4}));
  for (const Args& args : {Args{}, Args{"24", "16"}, Args{"-b", "1", "2", "3", "x"}}) {
    std::string shown;
    EXPECT_EQ(summary(gather(args, "24 16 panel s", &shown)), Summary(24, 16, "panel", "-b"));
    EXPECT_EQ(shown, kPrompts);
  }
  EXPECT_EQ(gather({}, "24 16 panel -nf").optionString, "-nf");
  for (const char* answers : {"", "twenty 16 panel s", "24 16 panel"})
    EXPECT_FAILS_WITH(gather({}, answers), "^error: invalid input\n$") << answers;
}

// An answer is one word of at most 4095 characters, so an endless one cannot fill the memory.
TEST(ConsoleInputTest, OverlongAnswersAreRefused) {
  const std::string longest(4095, 'a');
  EXPECT_EQ(summary(gather({}, "24 16\t" + longest + "\n-f")), Summary(24, 16, longest, "-f"));
  EXPECT_EQ(gather({}, "24 16 a " + longest).optionString, longest);
  EXPECT_FAILS_WITH(gather({}, "24 16 " + longest + "a s"), "^error: invalid input\n$");
  EXPECT_FAILS_WITH(gather({}, "24 16 a -" + longest), "^error: invalid input\n$");
}

TEST(ConsoleInputTest, OptionLettersSetSwitchesAndLaterOnesWin) {
  // balance, 4-ply rule, round robin, ply numbers
  const auto switches = [](const char* letters) {
    const RunOptions o = scanned(letters);
    return std::vector({o.balance, o.fourPlyRule, o.roundRobin, o.setPlyNumbers});
  };
  EXPECT_EQ(switches("-b"), std::vector({true, false, false, false}));
  EXPECT_EQ(switches("-bn"), std::vector({false, false, false, false}));
  EXPECT_EQ(switches("-nbf"), std::vector({true, true, false, false}));
  EXPECT_EQ(switches("r-"), std::vector({true, false, true, false}));
  EXPECT_EQ(switches("-p"), std::vector({true, false, false, true}));
  for (const char* letters : {"-x", "-fB", "s"})
    EXPECT_FAILS_WITH(scanned(letters), "^unknown option!\n$") << letters;
}

TEST(ConsoleInputTest, RsSuffixIsAppendedOnlyWhenMissing) {
  for (auto [given, expected] : std::vector<std::pair<std::string, std::string>>{
           {"panel", "panel.rs"}, {"panel.rs", "panel.rs"}, {"a.rsx", "a.rsx"}}) {
    RunOptions options = gather({"1", "2", given});
    appendRsSuffix(options);
    EXPECT_EQ(options.rsFileName, expected);
  }
}

TEST(LaminateRulesSetupTest, RulesFromOptionsAndCommandLinePlyNumbers) {
  RunOptions options = gather({"-nfp", "17", "8", "3", "2", "1", "2", "b.rs"});
  scanOptionString(options);
  LaminateRules skin, stiffener;
  skin.plyNumbersFixed = true;
  fillRules(options, skin, stiffener);
  EXPECT_EQ(std::pair(skin.halfPlyCount, stiffener.halfPlyCount), std::pair(9, 4));
  for (const LaminateRules* r : {&skin, &stiffener})
    EXPECT_TRUE(!r->balance && r->fourPlyRule && !r->plyNumbersFixed && !r->excludeListed);
  std::istringstream noAnswers;
  settlePlyNumbers(options, skin, stiffener, noAnswers);
  EXPECT_EQ(plyNumbers(skin), std::vector({3, 2, 4, 2}));
  EXPECT_EQ(plyNumbers(stiffener), std::vector({1, 2, 1, 1}));
  EXPECT_TRUE(skin.plyNumbersFixed && stiffener.plyNumbersFixed);
  for (auto [skinTotal, stiffenerTotal] :
       {std::pair{-1, 8}, std::pair{0, 8}, std::pair{8, 0}, std::pair{8, kMaxPlyTotal + 1}}) {
    options.skinPlyTotal = skinTotal;
    options.stiffenerPlyTotal = stiffenerTotal;
    EXPECT_FAILS_WITH(fillRules(options, skin, stiffener), "^error: invalid ply number\n$");
  }
}

struct Dialog { LaminateRules skin, stiffener; std::string shown; };

Dialog dialog(const std::string& answers) {
  Dialog d;
  d.skin.halfPlyCount = 12;
  d.stiffener.halfPlyCount = 8;
  std::istringstream in(answers);
  std::ostringstream err;
  plyNumberDialog(d.skin, d.stiffener, in, err);
  d.shown = err.str();
  return d;
}

TEST(PlyNumberDialogTest, SelectionDecidesWhichLaminatesAreAsked) {
  const Dialog both = dialog("2 4 6 2 4");
  EXPECT_EQ(both.shown, kSelect + kSkin + ask0(12) + ask45(8) + kStiffener + ask0(8) + ask45(6));
  EXPECT_EQ(plyNumbers(both.skin), std::vector({4, 6, 2, 2}));
  EXPECT_EQ(plyNumbers(both.stiffener), std::vector({2, 4, 2, 2}));
  EXPECT_FALSE(both.skin.balance || both.stiffener.balance);
  EXPECT_EQ(dialog("7 4 6 2 4").shown, both.shown);
  const Dialog stiffenerOnly = dialog("1 2 4");
  EXPECT_EQ(stiffenerOnly.shown, kSelect + kStiffener + ask0(8) + ask45(6));
  EXPECT_TRUE(stiffenerOnly.skin.balance && !stiffenerOnly.skin.plyNumbersFixed);
  EXPECT_TRUE(stiffenerOnly.stiffener.plyNumbersFixed && !stiffenerOnly.stiffener.balance);
  EXPECT_FALSE(dialog("0 4 6").stiffener.plyNumbersFixed);
}

TEST(PlyNumberDialogTest, AsksAgainOutsideTheOfferedRangeAndSkipsAnEmptyRest) {
  const Dialog again = dialog("0 13 -1 4 9 -2147483648 8");
  EXPECT_EQ(again.shown,
            kSelect + kSkin + ask0(12) + ask0(12) + ask0(12) + ask45(8) + ask45(8) + ask45(8));
  EXPECT_EQ(plyNumbers(again.skin), std::vector({4, 8, 0, 0}));
  const Dialog full = dialog("0 12");
  EXPECT_EQ(full.shown, kSelect + kSkin + ask0(12));
  EXPECT_EQ(plyNumbers(full.skin), std::vector({12, 0, 0, 0}));
  for (const char* answers : {"x", "0 four", "0 4", "2 4 6"})
    EXPECT_FAILS_WITH(dialog(answers), "^error: invalid input\n$") << answers;
}

// Command-line ply numbers are clamped to the int range; the 90 deg count they leave must come
// out exact when it fits an int and saturated otherwise, never overflow on the way. (Halves of
// one position keep their numbers as given, so the counts can be looked at.)
TEST(PlyNumberLimitsTest, ExtremeNumbersNeverOverflowTheNinetyDegreeCount) {
  RunOptions options =
      gather({"-p", "2", "1", "-99999999999", "0", "-2147483648", "2147483647", "a.rs"});
  scanOptionString(options);
  LaminateRules skin, stiffener;
  fillRules(options, skin, stiffener);
  std::istringstream noAnswers;
  settlePlyNumbers(options, skin, stiffener, noAnswers);
  EXPECT_EQ(plyNumbers(skin), std::vector({INT_MIN, 0, INT_MAX, INT_MIN}));
  EXPECT_EQ(plyNumbers(stiffener), std::vector({INT_MIN, INT_MAX, 2, INT_MIN}));
}

struct Settled { LaminateRules skin, stiffener; };

Settled settled(const Args& args, const std::string& answers = "") {
  RunOptions options = gather(args);
  scanOptionString(options);
  Settled s;
  fillRules(options, s.skin, s.stiffener);
  std::istringstream in(answers);
  settlePlyNumbers(options, s.skin, s.stiffener, in);  // the dialog writes to std::cerr
  return s;
}

// Numbers that no half can meet would end the search without a design: a negative count given
// or left for 90 deg, or no arrangement that keeps the 4-ply rule. A one-position half keeps
// any numbers, since its single ply is judged by its own orientation's count alone.
TEST(PlyNumberLimitsTest, NumbersNoHalfCanMeetEndTheRunBeforeTheSearch) {
  for (const Args& args : {Args{"-p", "8", "8", "5", "0", "2", "2", "a.rs"},
                           Args{"-p", "8", "8", "-1", "2", "2", "2", "a.rs"},
                           Args{"-p", "8", "8", "2", "2", "3", "2", "a.rs"},
                           Args{"-p", "8", "4", "2", "2", "0", "-1", "a.rs"},
                           Args{"-p", "24", "16", "-99999999999", "0", "4", "4", "a.rs"}})
    EXPECT_FAILS_WITH(settled(args), "^error: invalid fixed ply numbers\n$")
        << args[3] << " " << args[4] << " " << args[5] << " " << args[6];
  EXPECT_EQ(plyNumbers(settled({"-p", "1", "4", "2", "1", "2", "0", "a.rs"}).skin),
            std::vector({2, 1, -2, -2}));
  EXPECT_EQ(plyNumbers(settled({"-pf", "8", "8", "2", "0", "2", "2", "a.rs"}).skin),
            std::vector({2, 0, 2, 0}));
  EXPECT_FAILS_WITH(settled({"-pf", "8", "8", "4", "0", "2", "2", "a.rs"}),
                    "^error: fixed ply numbers break the 4-ply rule\n$");
  const testing::CapturedStreams dialogShown;
  EXPECT_FAILS_WITH(settled({"-pf", "12", "10", "a.rs"}, "1 5 0"),
                    "^error: fixed ply numbers break the 4-ply rule\n$");
  EXPECT_EQ(plyNumbers(settled({"-pf", "12", "10", "a.rs"}, "1 4 0").stiffener),
            std::vector({4, 0, 1, 0}));
}

TEST(PlyNumberDialogTest, SignsInUtf8WhereTheTerminalSpeaksIt) {
  LaminateRules skin, stiffener;
  skin.halfPlyCount = 12;
  std::istringstream in("0 4 6");
  std::ostringstream err;
  plyNumberDialog(skin, stiffener, in, err, true);
  EXPECT_EQ(err.str(), kSelect + kSkin + "    0\xC2\xB0(0-12) : " + " \xC2\xB1" "45\xC2\xB0(0-8) : ");
  EXPECT_EQ(plyNumbers(skin), std::vector({4, 6, 2, 2}));
}

// --ply-numbers= fixes what the dialog fixes, for the laminates it names, with the dialog's
// ranges and the same refusals afterwards; it replaces the dialog and the 8-argument numbers.
TEST(PlyNumberLimitsTest, TheOptionFixesWhatTheDialogFixesWithoutAskingAnything) {
  auto withOption = [](const Args& args, const std::string& value) {
    RunOptions options = gather(args);
    scanOptionString(options);
    options.plyNumbers = plyNumbersOf(value);
    Settled s;
    fillRules(options, s.skin, s.stiffener);
    std::istringstream noAnswers;
    settlePlyNumbers(options, s.skin, s.stiffener, noAnswers);
    return s;
  };
  const Settled both = withOption({"-b", "24", "16", "a.rs"}, "4,6,2:2,4,2");
  EXPECT_EQ(plyNumbers(both.skin), plyNumbers(dialog("2 4 6 2 4").skin));
  EXPECT_EQ(plyNumbers(both.stiffener), plyNumbers(dialog("2 4 6 2 4").stiffener));
  EXPECT_FALSE(both.skin.balance || both.stiffener.balance);
  const Settled stiffenerOnly = withOption({"-pb", "24", "16", "a.rs"}, ":2,4,2");
  EXPECT_TRUE(stiffenerOnly.skin.balance && !stiffenerOnly.skin.plyNumbersFixed);
  EXPECT_EQ(plyNumbers(stiffenerOnly.stiffener), std::vector({2, 4, 2, 2}));
  EXPECT_FALSE(withOption({"-b", "24", "16", "a.rs"}, "12,0,0").stiffener.plyNumbersFixed);
  EXPECT_FAILS_WITH(withOption({"-b", "24", "16", "a.rs"}, "13,0,0"),
                    "^error: --ply-numbers=: the skin's 0 deg positions must be 0 to 12\n$");
  EXPECT_FAILS_WITH(withOption({"-b", "24", "16", "a.rs"}, "4,6,2:2,7,0"),
                    "^error: --ply-numbers=: the stiffener's \\+-45 deg positions must be 0 to 6\n$");
  EXPECT_FAILS_WITH(withOption({"-b", "24", "16", "a.rs"}, "4,6,1"),
                    "^error: --ply-numbers=: the skin's positions must add up .*\n$");
  EXPECT_FAILS_WITH(withOption({"-bf", "24", "16", "a.rs"}, "12,0,0"),
                    "^error: fixed ply numbers break the 4-ply rule\n$");
  for (const char* value : {"", "1,2", "1,2,3:", "1,2,3:4,5", "a,b,c", "-1,2,3", "1,2,3,4"})
    EXPECT_FAILS_WITH(plyNumbersOf(value), "^error: --ply-numbers= takes .*\n$") << value;
}

}  // namespace
}  // namespace kelm
