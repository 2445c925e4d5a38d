#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "cli/run_options.h"

namespace kelm {

enum class Program { Iter, Alt, Eval, Sample, Fit };

// Largest ply total a user may ask for.
inline constexpr int kMaxPlyTotal = 100000;

// Command-line number: leading decimal digits as the C library converts them (0 when there
// are none), clamped to the int range instead of overflowing.
int toInt(const std::string& text);

// Arguments (without the program name) or, for any other count, the four prompts on `out`.
RunOptions gatherInputs(const std::vector<std::string>& args, Program program, std::istream& in,
                        std::ostream& out);
void appendRsSuffix(RunOptions& options);

// Reads the option letters; a letter outside `accepted` ends the run with "unknown option!".
inline constexpr std::string_view kSearchOptionLetters = "-bnfpr";
void scanOptionString(RunOptions& options, std::string_view accepted = kSearchOptionLetters);

}  // namespace kelm
