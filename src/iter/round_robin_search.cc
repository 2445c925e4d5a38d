#include "iter/round_robin_search.h"

#include <iostream>
#include <vector>

#include "base/seeded_random.h"
#include "base/stop_request.h"
#include "iter/first_allowed_sequence.h"
#include "laminate/design_rules.h"
#include "search/progress_line.h"
#include "search/random_draws.h"

namespace kelm {

RoundRobinSearch::RoundRobinSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                   const LaminateRules& stiffenerRules, std::uint32_t seed)
    : AlternatingSearch(model, skinRules, stiffenerRules), seed_(seed) {}

// With fixed ply numbers: the all-0 deg stiffener when those numbers allow it, otherwise the
// first stiffener they allow (an all-0 deg start that breaks them would enter the history and
// could be reported as the optimum). Without: random laminates until one satisfies the
// stiffener's rules. A long stiffener under the 4-ply rule is almost never drawn feasible, so
// after a bounded number of draws the first stiffener the rules allow is taken instead; only
// rules that no laminate can satisfy end the run.
StackingSequence RoundRobinSearch::initialStiffener(const StackingSequence& emptyStiffener) {
  StackingSequence stiffener = emptyStiffener;
  stiffener.fillZero();
  if (stiffenerRules_.plyNumbersFixed) {
    if (checkComplete(stiffener, stiffenerRules_)) return stiffener;
    return firstAllowedSequence(emptyStiffener, stiffenerRules_, true);
  }
  CRand random(seed_);
  const int draws = randomDrawLimit(stiffener.plyCount(), stiffenerRules_.guidelines());
  for (int attempt = 0; attempt < draws; ++attempt) {
    for (int position = 1; position <= stiffener.plyCount(); ++position)
      stiffener.resetTheta(position, random.next() % kSearchedCodes);
    if (checkComplete(stiffener, stiffenerRules_)) return stiffener;
  }
  return firstAllowedSequence(emptyStiffener, stiffenerRules_, true);
}

// Depth first, codes in order at each position. Level k of the explicit stack holds the design
// with k positions of the active laminate set: a laminate of tens of thousands of positions
// would overflow the call stack if each position were a call.
void RoundRobinSearch::searchTurn(const ActiveDesign& candidate) {
  const LaminateRules& rules = activeRules(candidate.skinActive);
  std::vector<ActiveDesign> levels{candidate};
  std::vector<int> nextCode{0};
  while (!nextCode.empty() && !stopRequested()) {
    const int position = static_cast<int>(nextCode.size());
    if (nextCode.back() == kSearchedCodes) {
      nextCode.pop_back();
      levels.pop_back();
      continue;
    }
    ActiveDesign child = levels.back();
    child.active().setTheta(position, nextCode.back()++);
    if (!checkPartial(child.active(), rules)) continue;
    if (position == child.active().plyCount()) {
      evaluateLeaf(child);
    } else {
      levels.push_back(std::move(child));
      nextCode.push_back(0);
    }
  }
}

void RoundRobinSearch::evaluateLeaf(ActiveDesign& leaf) {
  countStep(1);
  if (roundSteps() % kLeafProgressInterval == 0) showProgress(progress_.stepCounterShown, roundSteps());
  publishProgress(0);
  if (valueLeaf(leaf)) record(leaf.design);
}

void RoundRobinSearch::writeStepLine() const {
  std::cout << "total step " << totalSteps() << " done." << '\n';
}

}  // namespace kelm
