#include "cli/run_setup.h"

#include <iostream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "cli/console_mode.h"
#include "cli/ply_number_dialog.h"
#include "cli/single_laminate.h"
#include "laminate/fixed_ply_numbers.h"
#include "laminate/stacking_sequence.h"
#include "response/rs_file.h"

namespace kelm {

void fillRules(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener) {
  // A laminate without a ply has no position to design; the searches cannot start from one. A
  // single laminate's stiffener is absent: no plies, and no rule to keep.
  auto refuse = [](int total, int least) {
    if (total < least || total > kMaxPlyTotal) fatal(Stream::Err, "error: invalid ply number", true);
  };
  refuse(options.skinPlyTotal, 1);
  refuse(options.stiffenerPlyTotal, options.skinOnly ? 0 : 1);
  for (LaminateRules* rules : {&skin, &stiffener}) {
    *rules = LaminateRules{};
    rules->balance = options.balance;
    rules->fourPlyRule = options.fourPlyRule;
    rules->minSharePercent = options.minSharePercent;
    rules->maxRun = options.maxRun;
    rules->noCrossPlyJump = options.noCrossPlyJump;
    rules->outer45 = options.outer45;
  }
  if (options.skinOnly) {
    stiffener = LaminateRules{};
    stiffener.balance = false;
  }
  skin.plyTotal = options.skinPlyTotal;
  stiffener.plyTotal = options.stiffenerPlyTotal;
  skin.halfPlyCount = halfPositions(options.skinPlyTotal);
  stiffener.halfPlyCount = halfPositions(options.stiffenerPlyTotal);
}

namespace {

// A single laminate has no stiffener numbers to fix, and its runs are scripted: the numbers come
// from --ply-numbers=, not from the dialog.
void refuseStiffenerPlyNumbers(const RunOptions& options) {
  if (options.plyNumbers.stiffener)
    fatal(Stream::Err, "error: --skin-only: --ply-numbers= takes the skin's numbers alone", true);
  if (options.setPlyNumbers && !options.plyNumbers.given())
    fatal(Stream::Err,
          "error: --skin-only: letter p takes its numbers from --ply-numbers=S0,S45,S90 (no "
          "dialog)",
          true);
}

}  // namespace

void settlePlyNumbers(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener,
                      std::istream& in) {
  if (options.skinOnly) refuseStiffenerPlyNumbers(options);
  if (options.plyNumbers.given()) {
    applyPlyNumbers(options.plyNumbers, skin, stiffener);
    return;
  }
  if (!options.setPlyNumbers) return;
  if (options.plyNumbersGiven) {
    const int* given = options.commandLinePlyNumbers;
    fixPlyNumbers(skin, given[0], given[1]);
    fixPlyNumbers(stiffener, given[2], given[3]);
  } else {
    plyNumberDialog(skin, stiffener, in, std::cerr, standardErrorIsUtf8Terminal());
  }
  refuseUnreachablePlyNumbers(skin);
  refuseUnreachablePlyNumbers(stiffener);
}

void prepareRun(PreparedRun& run, Program program, const std::vector<std::string>& args,
                std::istream& in, std::ostream& out, const RunOptions& guidelines) {
  if (program == Program::Iter)
    std::cerr << "kelm iterative method ver 1.0.0 [vc++.net] (Jan. 2004)" << '\n';
  run.options = guidelines.skinOnly ? singleLaminateInputs(args)
                                    : gatherInputs(args, program, in, out);
  run.options.copyGuidelinesFrom(guidelines);
  appendRsSuffix(run.options);
  scanOptionString(run.options);
  RsFile(run.options.rsFileName, run.model);
  if (run.options.skinOnly) refuseStiffenerTerms(run.model, run.options.rsFileName);
  fillRules(run.options, run.skinRules, run.stiffenerRules);
  settlePlyNumbers(run.options, run.skinRules, run.stiffenerRules, in);
}

}  // namespace kelm
