#pragma once

#include <string>
#include <vector>

#include "cli/run_options.h"
#include "laminate/laminate_rules.h"

namespace kelm {

// What kelm_eval is asked to check: the response-surface file, both ply totals, both typed
// half laminates and the rules to judge them by.
struct EvalRequest {
  std::string rsFileName;
  int skinPlyTotal = 0;
  int stiffenerPlyTotal = 0;
  std::string skinText;
  std::string stiffenerText;
  LaminateRules skinRules;
  LaminateRules stiffenerRules;
};

// RSFILE SKIN_TOTAL STIFFENER_TOTAL SKIN STIFFENER [OPTIONS]: the same file-name and
// option-letter reading as the searches (letters b, n and f; ply numbers and the search method
// mean nothing here). Anything else ends the run with a one-line message.
// `guidelines`: the design-guideline settings of the extension options.
// With `designsFromFile` the two laminates come from a designs file instead: RSFILE SKIN_TOTAL
// STIFFENER_TOTAL [OPTIONS].
EvalRequest readEvalArguments(const std::vector<std::string>& args, const RunOptions& guidelines,
                              bool designsFromFile = false);

}  // namespace kelm
