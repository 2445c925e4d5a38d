#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "response/response_surface.h"
#include "laminate/laminate_rules.h"
#include "cli/run_options.h"
#include "search/search_driver.h"

namespace kelm {

enum class Program { Iter, Alt };

inline constexpr int kMaxPlyTotal = 100000;

// Command-line number: leading decimal digits as the C library converts them (0 when there
// are none), clamped to the int range instead of overflowing.
int toInt(const std::string& text);

// Arguments (without the program name) or, for any other count, the four prompts on `out`.
RunOptions gatherInputs(const std::vector<std::string>& args, Program program, std::istream& in,
                        std::ostream& out);
void appendRsSuffix(RunOptions& options);
void scanOptionString(RunOptions& options);  // unknown letter ends the run
void fillRules(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener);
void settlePlyNumbers(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener,
                      std::istream& in);
void plyNumberDialog(LaminateRules& skin, LaminateRules& stiffener, std::istream& in,
                     std::ostream& err);
// Ends the run when the laminate's fixed ply numbers leave no half laminate that meets them
// (a negative count, or no arrangement that keeps the 4-ply rule).
void refuseUnreachablePlyNumbers(const LaminateRules& rules);

// Everything a run needs before its search: inputs, options, the loaded response surface and
// both laminates' rules, in the order the user meets them.
struct PreparedRun {
  RunOptions options;
  ResponseSurface model;
  LaminateRules skinRules;
  LaminateRules stiffenerRules;
};
void prepareRun(PreparedRun& run, Program program, int argc, char** argv, std::istream& in,
                std::ostream& out);

// Runs the selected driver between two readings of the process clock, reports, and prints the
// calculation time (the report's own printing is not timed).
void timeAndReport(SearchDriver& driver, const RunOptions& options);

// Runs an entry's body; running out of storage anywhere ends the process with status 1.
template <typename Body>
int guardedMain(Body body);

}  // namespace kelm

#include "cli/console_input_inl.h"
