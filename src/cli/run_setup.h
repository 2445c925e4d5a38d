#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/run_options.h"
#include "laminate/laminate_rules.h"
#include "response/response_surface.h"

namespace kelm {

// Both laminates' rules from the options; a ply total outside 1..kMaxPlyTotal ends the run.
void fillRules(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener);

// With option p: the fixed ply numbers from the 8-argument form or the dialog, refused when no
// half laminate can meet them.
void settlePlyNumbers(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener,
                      std::istream& in);

// Everything a run needs before its search: inputs, options, the loaded response surface and
// both laminates' rules, in the order the user meets them.
struct PreparedRun {
  RunOptions options;
  ResponseSurface model;
  LaminateRules skinRules;
  LaminateRules stiffenerRules;
};
// `args`: the arguments after the program name, extension options taken out.
// `guidelines`: the design-guideline settings of the extension options (none by default).
void prepareRun(PreparedRun& run, Program program, const std::vector<std::string>& args,
                std::istream& in, std::ostream& out, const RunOptions& guidelines = {});

}  // namespace kelm
