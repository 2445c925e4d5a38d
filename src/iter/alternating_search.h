#pragma once

#include <vector>

#include "laminate/panel_design.h"
#include "response/response_surface.h"
#include "laminate/laminate_rules.h"
#include "search/search_driver.h"
#include "iter/objective_model.h"

namespace kelm {

// Two objective values closer than this are equal; a bound passes when not below the best
// value by more.
inline constexpr double kTieTolerance = 1e-13;

// The iterative method's outer loop, shared by its two drivers: each round searches one
// laminate of every candidate with the other held fixed; the designs that tie for a turn's
// best value become the next round's candidates with the roles swapped, until every design
// printed has been seen before. The drivers supply the initial stiffener and the turn.
class AlternatingSearch : public SearchDriver {
 public:
  AlternatingSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                    const LaminateRules& stiffenerRules);

  void run(int skinPlyTotal, int stiffenerPlyTotal) override;
  void report() override;

  const std::vector<PanelDesign>& results() const { return results_; }
  int totalSteps() const { return totalSteps_; }

 protected:
  virtual StackingSequence initialStiffener(const StackingSequence& emptyStiffener) = 0;
  virtual void prepareTurn(const PanelDesign& candidate) = 0;
  // Searches the active laminate of the candidate, recording designs with `record`.
  virtual void searchTurn(const PanelDesign& candidate) = 0;
  virtual void writeStepLine() const = 0;

  // Keeps a complete design when it ties the turn's best value or beats it.
  void record(const PanelDesign& design);
  const LaminateRules& activeRules(bool skinActive) const {
    return skinActive ? skinRules_ : stiffenerRules_;
  }
  void countStep(int steps) {
    totalSteps_ += steps;
    roundSteps_ += steps;
  }
  int roundSteps() const { return roundSteps_; }

  double best_ = 0.0;
  ObjectiveModel objective_;
  int skinPositions_ = 0;
  int stiffenerPositions_ = 0;
  const LaminateRules& skinRules_;
  const LaminateRules& stiffenerRules_;

 private:
  std::vector<PanelDesign> runTurns(const std::vector<PanelDesign>& candidates, double& floor);
  void pruneHistory(double floor);
  std::vector<PanelDesign> printRound(int round, std::vector<PanelDesign>& next);
  bool inHistory(const PanelDesign& design) const;
  void selectResults();

  std::vector<PanelDesign> results_;
  std::vector<PanelDesign> ties_;
  std::vector<PanelDesign> history_;
  int totalSteps_ = 0;
  int roundSteps_ = 0;
  StackingSequence emptySkin_;
  StackingSequence emptyStiffener_;
};

}  // namespace kelm
