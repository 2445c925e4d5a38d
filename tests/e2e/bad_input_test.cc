// Every row of the "Bad input" table of the guide (docs/guide/bad_input.md), run against the
// real programs: what the user gives, and the message, stream and exit status it gets. The row
// names are the table's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/program_run.h"

namespace fs = std::filesystem;

namespace {

enum class Stream { Out, Err };
enum class Match { EndsWith, Contains };

struct BadInput {
  std::string name;
  std::string program;
  std::vector<std::string> args;
  std::string answers;  // standard input
  Stream stream;
  std::string expected;  // the message with its line end, or what the stream shows
  int status;
  Match match = Match::EndsWith;
  std::vector<std::pair<std::string, std::string>> files = {};  // name, content ("/": folder)
};

const std::string kBadTotal = "error: invalid ply number\n";
const std::string kBadPlies = "error: invalid fixed ply numbers\n";
const std::string kFourPly = "error: fixed ply numbers break the 4-ply rule\n";
const std::string kInvalid = "error: invalid input\n";
const std::string kUnknown = "unknown option!\n";
const std::string kCannotOpen = "Cannot open responce surface file!\n";
const std::string kRsFile = "error: RsFile\n";
const std::string kOptimum = "optimal value = ";
const std::string kAsk0of4 = "    0\x81\x8B(0-4) : ";
const std::string kAsk45of2 = " \x81\x7D" "45\x81\x8B(0-2) : ";
const std::string kEvalUsage =
    "kelm_eval: usage: kelm_eval RSFILE SKIN_TOTAL STIFFENER_TOTAL SKIN STIFFENER [OPTIONS]\n";

using Args = std::vector<std::string>;

BadInput surfaceFile(const std::string& name, const std::string& program,
                     const std::string& content, const std::string& expected = kRsFile) {
  return {name, program, {"8", "8", "bad.rs"}, "", Stream::Err, expected, 1, Match::EndsWith,
          {{"bad.rs", content}}};
}

std::vector<BadInput> rows() {
  const std::string longWord(5000, 'a');
  return {
      // Arguments
      {"args_unknown_letter", "kelm_iter", {"-bx", "8", "8", "panel_a.rs"}, "", Stream::Err,
       kUnknown, 1},
      {"args_s_on_command_line", "kelm_alt", {"s", "8", "8", "panel_a.rs"}, "", Stream::Err,
       kUnknown, 1},
      {"args_other_count", "kelm_iter", {"8", "8"}, "", Stream::Err, kInvalid, 1},
      {"args_eight_for_alt", "kelm_alt", {"-p", "8", "8", "4", "0", "2", "2", "panel_a.rs"}, "",
       Stream::Err, kInvalid, 1},
      {"args_tight_with_r", "kelm_iter", {"--tight"}, "8 8 panel_a.rs r", Stream::Err,
       "error: --tight sharpens the tree search; it cannot be combined with option r (the "
       "exhaustive search)\n",
       1},
      // Ply totals
      {"total_zero", "kelm_iter", {"0", "8", "panel_a.rs"}, "", Stream::Err, kBadTotal, 1},
      {"total_zero_exhaustive", "kelm_alt", {"-r", "8", "0", "panel_a.rs"}, "", Stream::Err,
       kBadTotal, 1},
      {"total_negative", "kelm_alt", {"-2", "8", "panel_a.rs"}, "", Stream::Err, kBadTotal, 1},
      {"total_above_limit", "kelm_iter", {"-r", "8", "100001", "panel_a.rs"}, "", Stream::Err,
       kBadTotal, 1},
      {"total_not_a_number", "kelm_iter", {"eight", "8", "panel_a.rs"}, "", Stream::Err,
       kBadTotal, 1},
      {"total_overflowing", "kelm_alt", {"99999999999", "8", "panel_a.rs"}, "", Stream::Err,
       kBadTotal, 1},
      {"total_at_prompt", "kelm_iter", {}, "8 0 panel_a.rs s", Stream::Err, kBadTotal, 1},
      {"total_too_few_for_alt", "kelm_alt", {"8", "4", "panel_a.rs"}, "", Stream::Err,
       "ply number must be greater than 4!", 1},
      // Ply numbers of the 8-argument form
      {"plies_beyond_half", "kelm_iter", {"-p", "8", "8", "5", "0", "2", "2", "panel_a.rs"}, "",
       Stream::Err, kBadPlies, 1},
      {"plies_negative", "kelm_iter", {"-p", "8", "8", "2", "2", "-1", "2", "panel_a.rs"}, "",
       Stream::Err, kBadPlies, 1},
      {"plies_sum_beyond_half", "kelm_iter", {"-rp", "8", "8", "2", "3", "2", "2", "panel_a.rs"},
       "", Stream::Err, kBadPlies, 1},
      {"plies_break_four_ply_rule", "kelm_iter",
       {"-pf", "8", "8", "4", "0", "2", "2", "panel_a.rs"}, "", Stream::Err, kFourPly, 1},
      {"plies_one_position_half", "kelm_iter",
       {"-p", "1", "4", "2", "1", "2", "0", "panel_a.rs"}, "", Stream::Out, kOptimum, 0,
       Match::Contains},
      {"plies_not_a_number", "kelm_iter", {"-p", "8", "8", "x", "4", "2", "y", "panel_a.rs"}, "",
       Stream::Out, kOptimum, 0, Match::Contains},
      {"plies_without_p", "kelm_iter", {"-b", "8", "8", "-1", "9", "9", "9", "panel_a.rs"}, "",
       Stream::Out, kOptimum, 0, Match::Contains},
      // Prompts
      {"prompt_not_a_number", "kelm_alt", {}, "eight 8 panel_a.rs s", Stream::Err, kInvalid, 1},
      {"prompt_end_of_input", "kelm_iter", {}, "8 8 panel_a.rs", Stream::Err, kInvalid, 1},
      {"prompt_number_overflowing", "kelm_iter", {}, "99999999999 8 panel_a.rs s", Stream::Err,
       kInvalid, 1},
      {"prompt_answer_too_long", "kelm_alt", {}, "8 8 " + longWord + " s", Stream::Err, kInvalid,
       1},
      {"prompt_unknown_letter", "kelm_iter", {}, "8 8 panel_a.rs -s", Stream::Err, kUnknown, 1},
      // Ply-number dialog
      {"dialog_above_maximum", "kelm_alt", {"-p", "8", "8", "panel_a.rs"}, "0 5 4", Stream::Err,
       kAsk0of4 + kAsk0of4, 0, Match::Contains},
      {"dialog_negative", "kelm_iter", {"-p", "8", "8", "panel_a.rs"}, "0 -1 2 -3 2",
       Stream::Err, kAsk0of4 + kAsk0of4 + kAsk45of2 + kAsk45of2, 0, Match::Contains},
      {"dialog_not_a_number", "kelm_iter", {"-p", "8", "8", "panel_a.rs"}, "2 two", Stream::Err,
       kInvalid, 1},
      {"dialog_end_of_input", "kelm_alt", {"-p", "8", "8", "panel_a.rs"}, "2 1", Stream::Err,
       kInvalid, 1},
      {"dialog_break_four_ply_rule", "kelm_alt", {"-pf", "12", "12", "panel_a.rs"}, "0 6",
       Stream::Err, kFourPly, 1},
      // Response-surface file
      {"file_missing", "kelm_iter", {"8", "8", "missing"}, "", Stream::Err, kCannotOpen, 1},
      {"file_is_a_folder", "kelm_alt", {"8", "8", "folder.rs"}, "", Stream::Err, kCannotOpen, 1,
       Match::EndsWith, {{"folder.rs/", ""}}},
      {"file_name_too_long", "kelm_iter", {"8", "8", longWord}, "", Stream::Err, kCannotOpen, 1},
      surfaceFile("file_blank_line", "kelm_iter", "0 1.0\n\n1 0.5\n"),
      surfaceFile("file_line_too_long", "kelm_alt", "0 1.0 " + std::string(250, 'x') + "\n"),
      surfaceFile("file_unreadable_term", "kelm_iter", "x1 0.5\n"),
      surfaceFile("file_code_without_coefficient", "kelm_alt", "0 1.0\n1\n"),
      surfaceFile("file_code_beyond_32_bits", "kelm_iter", "100000000 0.5\n"),
      surfaceFile("file_values_beyond_range", "kelm_alt", "0 1e200\n1 1e200\n",
                  "error: the surface's coefficients add up to 2e+200, beyond what the searches can bound "
                  "(1e+100 at most): scale the surface\n"),
      {"skin_only_two_totals", "kelm_alt", {"--skin-only", "8", "8", "panel_a.rs"}, "", Stream::Err,
       "error: --skin-only designs one laminate and takes one ply total (SKIN FILE); for a skin and a "
       "stiffener leave --skin-only out\n", 1},
      {"exclude_without_designs", "kelm_alt", {"--exclude=none.txt", "8", "8", "panel_a.rs"}, "", Stream::Err,
       "error: --exclude=none.txt: no design in the file\n", 1, Match::EndsWith, {{"none.txt", "\n"}}},
      surfaceFile("file_indented_comment", "kelm_alt", " # panel\n0 1.0\n"),
      // kelm_eval
      {"eval_argument_count", "kelm_eval", {"panel_a.rs", "8", "8"}, "", Stream::Err,
       kEvalUsage, 1},
      {"eval_total_zero", "kelm_eval", {"panel_a.rs", "0", "8", "[0]s", "[0/0/0/0]s"}, "",
       Stream::Err, "kelm_eval: invalid skin ply total \"0\"\n", 1},
      {"eval_total_not_a_number", "kelm_eval",
       {"panel_a.rs", "8", "8x", "[0/0/0/0]s", "[0/0/0/0]s"}, "", Stream::Err,
       "kelm_eval: invalid stiffener ply total \"8x\"\n", 1},
      {"eval_unknown_letter", "kelm_eval",
       {"panel_a.rs", "8", "8", "[0/0/0/0]s", "[0/0/0/0]s", "-r"}, "", Stream::Err, kUnknown, 1},
      {"eval_unknown_angle", "kelm_eval", {"panel_a.rs", "8", "8", "[0/0/0/30]s", "[0/0/0/0]s"},
       "", Stream::Err,
       "kelm_eval: angle \"30\" in the skin sequence is not one of 0, 45, -45, 90\n", 1},
      {"eval_position_count", "kelm_eval", {"panel_a.rs", "8", "8", "[0/0/0/0]s", "[0/0]s"}, "",
       Stream::Err,
       "kelm_eval: the stiffener sequence has 2 positions; a half laminate of 8 plies has 4\n",
       1},
      {"eval_malformed_sequence", "kelm_eval", {"panel_a.rs", "8", "8", "[0/0/0/0s", "[0/0]s"},
       "", Stream::Err, "kelm_eval: malformed skin sequence \"[0/0/0/0s\"\n", 1},
      {"eval_file_missing", "kelm_eval", {"missing", "8", "8", "[0/0/0/0]s", "[0/0/0/0]s"}, "",
       Stream::Err, kCannotOpen, 1},
      {"eval_file_malformed", "kelm_eval", {"bad.rs", "8", "8", "[0/0/0/0]s", "[0/0/0/0]s"}, "",
       Stream::Err, kRsFile, 1, Match::EndsWith, {{"bad.rs", "0\n"}}},
  };
}

class BadInputTable : public ::testing::TestWithParam<BadInput> {};

void prepareWorkFolder(const fs::path& work, const BadInput& row) {
  fs::remove_all(work);
  fs::create_directories(work);
  fs::copy_file(fs::path(KELM_EXAMPLES) / "panel_a.rs", work / "panel_a.rs");
  for (const auto& [name, content] : row.files) {
    if (name.back() == '/') {
      fs::create_directory(work / name);
    } else {
      std::ofstream(work / name, std::ios::binary) << content;
    }
  }
  std::ofstream(work / "stdin", std::ios::binary) << row.answers;
}

bool shows(const std::string& text, const BadInput& row) {
  if (row.match == Match::Contains) return text.find(row.expected) != std::string::npos;
  return text.size() >= row.expected.size() &&
         text.compare(text.size() - row.expected.size(), std::string::npos, row.expected) == 0;
}

TEST_P(BadInputTable, GivesItsMessageStreamAndStatus) {
  const BadInput& row = GetParam();
  const fs::path work =
      fs::temp_directory_path() / ("kelm_bad_input_" + row.name + "_" + std::to_string(getpid()));
  prepareWorkFolder(work, row);
  const kelm::e2e::Outcome got =
      kelm::e2e::runProgram(kelm::e2e::programPath(row.program), row.args, work, work / "stdin");
  const std::string& chosen = row.stream == Stream::Out ? got.out : got.err;
  const std::string& other = row.stream == Stream::Out ? got.err : got.out;
  EXPECT_TRUE(shows(chosen, row)) << "stdout:\n" << got.out << "\nstderr:\n" << got.err;
  EXPECT_EQ(other.find(row.expected), std::string::npos) << other;
  EXPECT_EQ(got.status, row.status);
  fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTable, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
