#include "iter/alternating_search.h"

#include <algorithm>
#include <iostream>

#include "base/fatal.h"
#include "base/stop_request.h"
#include "search/design_report.h"

namespace kelm {

namespace {
constexpr double kInitialFloor = 1e15;
}

AlternatingSearch::AlternatingSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                     const LaminateRules& stiffenerRules)
    : skinRules_(skinRules), stiffenerRules_(stiffenerRules) {
  objective_.setObjectiveModel(model);
}

void AlternatingSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  emptySkin_.setPlyTotal(skinPlyTotal);
  emptyStiffener_.setPlyTotal(stiffenerPlyTotal);
  skinPositions_ = emptySkin_.plyCount();
  stiffenerPositions_ = emptyStiffener_.plyCount();

  ActiveDesign start;
  start.design.skin = emptySkin_;
  start.design.stiffener = initialStiffener(emptyStiffener_);
  start.skinActive = true;
  std::vector<ActiveDesign> candidates{start};
  double floor = kInitialFloor;  // never reset: the smallest turn result of the whole run
  std::vector<ActiveDesign> unprinted;
  for (int round = 1; !candidates.empty(); ++round) {
    std::vector<ActiveDesign> next = runTurns(candidates, floor);
    if (stopRequested()) {
      unprinted = std::move(next);
      break;
    }
    pruneHistory(floor);
    candidates = printRound(round, next);
    roundSteps_ = 0;
  }
  selectResults(unprinted);
}

// A turn starts from its candidate's own value (0 for the first, whose skin is empty), so a
// turn finds nothing unless some completion ties or beats what the candidate already had.
std::vector<ActiveDesign> AlternatingSearch::runTurns(const std::vector<ActiveDesign>& candidates,
                                                      double& floor) {
  std::vector<ActiveDesign> next;
  for (const ActiveDesign& candidate : candidates) {
    prepareTurn(candidate);
    objective_.setObjectiveTerms(candidate);
    turnBest_.restart(candidate.design.value);
    searchTurn(candidate);
    for (PanelDesign& tie : turnBest_.designs())
      next.push_back(ActiveDesign{std::move(tie), !candidate.skinActive});
    floor = std::min(floor, turnBest_.best());
    if (stopRequested()) break;  // the turn's designs so far are kept
  }
  turnBest_.restart(0.0);
  return next;
}

void AlternatingSearch::pruneHistory(double floor) {
  std::erase_if(history_, [&](const PanelDesign& d) { return d.value < floor - kTieTolerance; });
}

bool AlternatingSearch::inHistory(const PanelDesign& design) const {
  return std::any_of(history_.begin(), history_.end(), [&](const PanelDesign& seen) {
    return seen.skin == design.skin && seen.stiffener == design.stiffener;
  });
}

// Writes the round line and returns the next candidates: every design not seen before, with
// its laminate to be searched emptied, one per distinct fixed laminate.
std::vector<ActiveDesign> AlternatingSearch::printRound(int round, std::vector<ActiveDesign>& next) {
  std::vector<ActiveDesign> candidates;
  beforeOutput();
  std::cout << "> " << round << " ";
  for (ActiveDesign& candidate : next) {
    const PanelDesign& design = candidate.design;
    design.skin.printSequence();
    std::cout << " ";
    design.stiffener.printSequence();
    std::cout << "  " << design.value;
    if (inHistory(design)) {
      std::cout << " %converged%";
    } else {
      history_.push_back(design);
      const bool skin = candidate.skinActive;
      candidate.active() = skin ? emptySkin_ : emptyStiffener_;
      const bool duplicate =
          std::any_of(candidates.begin(), candidates.end(), [&](const ActiveDesign& c) {
            return skin ? c.design.stiffener == design.stiffener : c.design.skin == design.skin;
          });
      if (!duplicate) candidates.push_back(std::move(candidate));
    }
    std::cout << '\n';
  }
  std::cout << "step " << roundSteps_ << " done." << '\n';
  return candidates;
}

// Keeps the designs of the largest value (none when it is below -1e-13). A stopped run also
// weighs the designs of its last, unfinished round.
void AlternatingSearch::selectResults(const std::vector<ActiveDesign>& unprinted) {
  results_.restart(0.0);
  for (const PanelDesign& design : history_) results_.keepLargest(design, design.value);
  for (const ActiveDesign& candidate : unprinted) {
    if (!inHistory(candidate.design))
      results_.keepLargest(candidate.design, candidate.design.value);
  }
}

void AlternatingSearch::countStep(int steps) {
  totalSteps_ += steps;
  roundSteps_ += steps;
}

void AlternatingSearch::publishProgress(long long held) {
  runBest_ = std::max(runBest_, turnBest_.best());
  progress_.publish(totalSteps_, held, runBest_);
}

void AlternatingSearch::report() {
  writeOptimalDesigns(results_.designs());
  writeStepLine();
}

}  // namespace kelm
