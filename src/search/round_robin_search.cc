#include "search/round_robin_search.h"

#include <iostream>

#include "laminate/design_rules.h"
#include "run/crand.h"
#include "run/fatal.h"
#include "search/first_allowed_sequence.h"

namespace kelm {

namespace {
constexpr int kProgressInterval = 10000;
constexpr int kSearchedCodes = 3;  // 0, 45 and 90 deg; -45 deg is implied by balance
}  // namespace

RoundRobinSearch::RoundRobinSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                   const LaminateRules& stiffenerRules, std::uint32_t seed)
    : AlternatingSearch(model, skinRules, stiffenerRules), seed_(seed) {}

// With fixed ply numbers: the all-0 deg stiffener when those numbers allow it, otherwise the
// first stiffener they allow (an all-0 deg start that breaks them would enter the history and
// could be reported as the optimum). Without: random laminates until one satisfies the
// stiffener's rules; rules that no laminate can satisfy end the run instead of drawing for ever.
StackingSequence RoundRobinSearch::initialStiffener(const StackingSequence& emptyStiffener) {
  StackingSequence stiffener = emptyStiffener;
  stiffener.fillZero();
  if (stiffenerRules_.plyNumbersFixed) {
    if (checkComplete(stiffener, stiffenerRules_)) return stiffener;
    return firstAllowedSequence(emptyStiffener, stiffenerRules_, true);
  }
  CRand random(seed_);
  for (int attempt = 0; attempt < kRandomDrawLimit; ++attempt) {
    for (int position = 1; position <= stiffener.plyCount(); ++position)
      stiffener.resetTheta(position, random.next() % kSearchedCodes);
    if (checkComplete(stiffener, stiffenerRules_)) return stiffener;
  }
  fatal(Stream::Err, "cannot get initial stiffener! ", true);
}

void RoundRobinSearch::searchTurn(const PanelDesign& candidate) { enumerate(candidate, 1); }

void RoundRobinSearch::enumerate(const PanelDesign& parent, int position) {
  const LaminateRules& rules = activeRules(parent.skinActive);
  for (int code = 0; code < kSearchedCodes; ++code) {
    PanelDesign child = parent;
    child.active().setTheta(position, code);
    if (!checkPartial(child.active(), rules)) continue;
    if (position == child.active().plyCount())
      evaluateLeaf(child);
    else
      enumerate(child, position + 1);
  }
}

void RoundRobinSearch::evaluateLeaf(PanelDesign& leaf) {
  countStep(1);
  if (roundSteps() % kProgressInterval == 0) std::cerr << "step " << roundSteps() << " ...\r";
  const double v = objective_.objectivefunc(leaf);
  leaf.value = leaf.designBound = v;
  record(leaf);
}

void RoundRobinSearch::writeStepLine() const {
  std::cout << "total step " << totalSteps() << " done." << '\n';
}

}  // namespace kelm
