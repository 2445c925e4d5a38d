#include "sizing/lightest_total.h"

#include <algorithm>

#include "alt/surface_ceiling.h"
#include "search/search_constants.h"

namespace kelm {

void sortLightestFirst(std::vector<PlyTotals>& totals) {
  std::stable_sort(totals.begin(), totals.end(),
                   [](const PlyTotals& a, const PlyTotals& b) { return a.weight < b.weight; });
}

const char* outcomeName(TotalsDecision::Outcome outcome) {
  switch (outcome) {
    case TotalsDecision::Outcome::Skipped: return "skipped";
    case TotalsDecision::Outcome::None: return "none";
    case TotalsDecision::Outcome::Found: return "found";
    case TotalsDecision::Outcome::Stopped: return "stopped";
  }
  return "none";
}

bool Sizing::found() const {
  return !decisions.empty() && decisions.back().outcome == TotalsDecision::Outcome::Found;
}

bool Sizing::stopped() const {
  return !decisions.empty() && decisions.back().outcome == TotalsDecision::Outcome::Stopped;
}

bool outOfReach(const PlyTotals& totals, const TotalsSetUp& setUp, TotalsDecision& decision) {
  for (std::size_t i = 0; i < setUp.requirements.size(); ++i) {
    const Requirement& required = setUp.requirements[i];
    const double bound = surfaceCeiling(*required.surface, totals.skin, totals.stiffener,
                                        setUp.skinRules, setUp.stiffenerRules, required.limit);
    // Within the tie tolerance a design still counts as meeting the limit.
    if (bound < required.limit - kTieTolerance) {
      decision.outcome = TotalsDecision::Outcome::Skipped;
      decision.requirement = static_cast<int>(i);
      decision.limit = required.limit;
      decision.bound = bound;
      return true;
    }
  }
  return false;
}

namespace {

// True when the sizing ends with this candidate: a design found, or the run stopped.
bool decide(TotalsDecision& decision, std::optional<double> timeLimit, const SizingSteps& steps) {
  if (outOfReach(decision.totals, steps.setUp(decision.totals), decision)) {
    if (steps.skipped) steps.skipped(decision);
    return false;
  }
  std::optional<double> left;
  if (timeLimit) left = *timeLimit - steps.secondsUsed();
  if (left && *left <= 0.0) {
    decision.outcome = TotalsDecision::Outcome::Stopped;
    return true;
  }
  const TotalsSearched searched = steps.search(decision.totals, left);
  decision.steps = searched.steps;
  decision.seconds = searched.seconds;
  decision.outcome = searched.stopped ? TotalsDecision::Outcome::Stopped
                     : searched.found ? TotalsDecision::Outcome::Found
                                      : TotalsDecision::Outcome::None;
  return searched.stopped || searched.found;
}

}  // namespace

Sizing sizeLightestFirst(const std::vector<PlyTotals>& totals, std::optional<double> timeLimit,
                         const SizingSteps& steps) {
  Sizing sizing;
  for (const PlyTotals& candidate : totals) {
    TotalsDecision& decision = sizing.decisions.emplace_back();
    decision.totals = candidate;
    if (decide(decision, timeLimit, steps)) break;
  }
  return sizing;
}

}  // namespace kelm
