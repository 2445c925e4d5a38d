#include "iter/alternating_search.h"

#include <algorithm>
#include <cmath>
#include <iostream>

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

void AlternatingSearch::record(const PanelDesign& design) {
  const double v = design.value;
  if (std::fabs(best_ - v) < kTieTolerance) {
    ties_.push_back(design);
  } else if (v > best_) {
    best_ = v;
    ties_.clear();
    ties_.push_back(design);
  }
}

void AlternatingSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  emptySkin_.setPlyTotal(skinPlyTotal);
  emptyStiffener_.setPlyTotal(stiffenerPlyTotal);
  skinPositions_ = emptySkin_.plyCount();
  stiffenerPositions_ = emptyStiffener_.plyCount();

  PanelDesign start;
  start.skin = emptySkin_;
  start.stiffener = initialStiffener(emptyStiffener_);
  start.skinActive = true;
  std::vector<PanelDesign> candidates{start};
  double floor = kInitialFloor;  // never reset: the smallest turn result of the whole run
  for (int round = 1; !candidates.empty(); ++round) {
    std::vector<PanelDesign> next = runTurns(candidates, floor);
    pruneHistory(floor);
    candidates = printRound(round, next);
    roundSteps_ = 0;
  }
  selectResults();
}

std::vector<PanelDesign> AlternatingSearch::runTurns(const std::vector<PanelDesign>& candidates,
                                                     double& floor) {
  std::vector<PanelDesign> next;
  for (const PanelDesign& candidate : candidates) {
    prepareTurn(candidate);
    objective_.setObjectiveTerms(candidate);
    best_ = candidate.value;
    searchTurn(candidate);
    for (PanelDesign& tie : ties_) {
      tie.skinActive = !candidate.skinActive;
      next.push_back(std::move(tie));
    }
    ties_.clear();
    floor = std::min(floor, best_);
  }
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
std::vector<PanelDesign> AlternatingSearch::printRound(int round, std::vector<PanelDesign>& next) {
  std::vector<PanelDesign> candidates;
  std::cout << "> " << round << " ";
  for (PanelDesign& design : next) {
    design.skin.printSequence();
    std::cout << " ";
    design.stiffener.printSequence();
    std::cout << "  " << design.value;
    if (inHistory(design)) {
      std::cout << " %converged%";
    } else {
      history_.push_back(design);
      const bool skin = design.skinActive;
      (skin ? design.skin : design.stiffener) = skin ? emptySkin_ : emptyStiffener_;
      const bool duplicate =
          std::any_of(candidates.begin(), candidates.end(), [&](const PanelDesign& c) {
            return skin ? c.stiffener == design.stiffener : c.skin == design.skin;
          });
      if (!duplicate) candidates.push_back(std::move(design));
    }
    std::cout << '\n';
  }
  std::cout << "step " << roundSteps_ << " done." << '\n';
  return candidates;
}

// Keeps the designs of the largest value (none when it is below -1e-13).
void AlternatingSearch::selectResults() {
  double a = 0.0;
  results_.clear();
  for (const PanelDesign& design : history_) {
    if (design.value < a - kTieTolerance) continue;
    if (design.value > a + kTieTolerance) {
      results_.clear();
      a = design.value;
    }
    results_.push_back(design);
  }
}

void AlternatingSearch::report() {
  writeOptimalDesigns(results_);
  writeStepLine();
}

}  // namespace kelm
