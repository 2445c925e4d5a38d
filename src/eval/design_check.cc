#include "eval/design_check.h"

#include <iostream>
#include <optional>
#include <vector>

#include "laminate/design_rules.h"
#include "laminate/guideline_rules.h"
#include "laminate/layup_stack.h"

namespace kelm {

namespace {

int countCode(const StackingSequence& sequence, int code) {
  int n = 0;
  for (int i = 1; i <= sequence.plyCount(); ++i)
    if (sequence.codeAt(i) == code) ++n;
  return n;
}


void writeRunVerdict(const std::string& rule, const std::optional<PlyRun>& broken) {
  std::cout << rule << ": ";
  if (broken)
    std::cout << "broken at positions " << broken->first << "-" << broken->last << '\n';
  else
    std::cout << "holds" << '\n';
}

const char* orientationName(int code) {
  return code == kCode0 ? "0" : code == kCode45 ? "+-45" : "90";
}

// One line per guideline switched on, each judged by the searches' own rule code.
void writeGuidelineVerdicts(const StackingSequence& sequence, const LaminateRules& rules) {
  if (rules.minSharePercent > 0.0) {
    const std::optional<int> short_ = orientationBelowShare(sequence, rules.minSharePercent);
    std::cout << "minimum share " << rules.minSharePercent << " %: ";
    if (short_)
      std::cout << "broken: " << orientationPlies(sequence).count[*short_] << " plies of "
                << orientationName(*short_) << " deg\n";
    else
      std::cout << "holds" << '\n';
  }
  if (rules.maxRun > 0) {
    const std::optional<PlyRun> broken =
        sequence.plyCount() > 2 ? runLimitBreak(sequence, rules.maxRun) : std::nullopt;
    writeRunVerdict("at most " + std::to_string(rules.maxRun) + " in a row", broken);
  }
  if (rules.noCrossPlyJump) {
    const std::optional<int> jump = crossPlyJumpAt(sequence);
    std::cout << "no cross-ply jump: ";
    if (jump)
      std::cout << "broken at positions " << *jump << "-" << *jump + 1 << '\n';
    else
      std::cout << "holds" << '\n';
  }
  if (rules.outer45) {
    const bool holds = sequence.plyCount() < 1 || sequence.codeAt(1) == kCode45;
    std::cout << "+-45 outermost: " << (holds ? "holds" : "broken") << '\n';
  }
}

}  // namespace

void writeLaminateReport(const char* title, const StackingSequence& sequence,
                         const LaminateRules& rules) {
  const std::streamsize precision = std::cout.precision(10);
  const double* lp = sequence.parameters();
  std::cout << title << '\n';
  sequence.printSequence();
  const LayupStack stack = layupStack(sequence);
  std::cout << '\n'
            << "stack to lay up: " << layupText(stack) << '\n'
            << signSentence(stack) << '\n'
            << "plies 0/+-45/90: " << countCode(sequence, kCode0) << ' '
            << countCode(sequence, kCode45) << ' ' << countCode(sequence, kCode90) << '\n'
            << "in-plane lamination parameters: " << lp[0] << ' ' << lp[1] << '\n'
            << "bending lamination parameters: " << lp[2] << ' ' << lp[3] << '\n';
  if (rules.balance) {
    LaminateRules balanceOnly;
    balanceOnly.halfPlyCount = rules.halfPlyCount;
    std::cout << "balance rule: " << (checkComplete(sequence, balanceOnly) ? "holds" : "broken")
              << '\n';
  }
  if (rules.fourPlyRule) writeRunVerdict("4-ply rule", fourPlyBreak(sequence));
  writeGuidelineVerdicts(sequence, rules);
  std::cout.precision(precision);
}

}  // namespace kelm
