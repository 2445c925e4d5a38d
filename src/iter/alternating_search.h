#pragma once

#include <iostream>
#include <memory>
#include <vector>

#include "iter/design_history.h"
#include "iter/objective_model.h"
#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"
#include "response/response_surface.h"
#include "search/active_design.h"
#include "search/panel_objectives.h"
#include "search/search_driver.h"
#include "search/tie_rule.h"

namespace kelm {

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

  const std::vector<PanelDesign>& results() const override { return results_.designs(); }
  long long totalSteps() const override { return totalSteps_; }
  // The turns of a round searched by this many threads at once, where the driver can share
  // them out (1: one after the other). Every turn is the same search either way, and the round
  // takes their designs in the candidates' order: the report is the same for every number.
  void setTurnThreads(int threads) { turnThreads_ = std::max(1, threads); }
  // The rounds whose turns were searched by two threads or more (for tests of the threaded
  // code: the round had two candidates or more and a second thread took one of them).
  long long sharedRounds() const { return sharedRounds_; }
  // Further failure modes: each turn maximises the smallest of the surfaces over the designs
  // that meet every requirement. Set before run(); none by default.
  void setExtraSurfaces(const ExtraSurfaces& extras) override;
  // Where the round lines go while the search runs (standard output unless told otherwise).
  void setRoundLog(std::ostream& log) { roundLog_ = &log; }

 protected:
  virtual StackingSequence initialStiffener(const StackingSequence& emptyStiffener) = 0;
  virtual void prepareTurn(const ActiveDesign& candidate) = 0;
  // Searches the active laminate of the candidate, recording designs with `record`.
  virtual void searchTurn(const ActiveDesign& candidate) = 0;
  virtual void writeStepLine() const = 0;
  // A driver of its own for another thread's turns, ready for this run; none where the turns
  // cannot be shared out.
  virtual std::unique_ptr<AlternatingSearch> turnWorker() const { return nullptr; }
  // What a turn worker needs of this run before its first turn.
  void adoptRunOf(const AlternatingSearch& master);

  // Values a complete design (the smallest of the objective surfaces); false when it breaks a
  // requirement, and is then not to be recorded.
  bool valueLeaf(ActiveDesign& leaf) const;
  // Keeps a complete design (its value set) when it ties the turn's best value or beats it.
  void record(const PanelDesign& design) { turnBest_.enter(design, design.value); }
  double best() const { return turnBest_.best(); }
  const LaminateRules& activeRules(bool skinActive) const {
    return skinActive ? skinRules_ : stiffenerRules_;
  }
  void countStep(int steps);
  // Tells a watcher the step count, the branches held and the best value of the run so far.
  void publishProgress(long long held);
  long long roundSteps() const { return roundSteps_; }
  long long leafCount_ = 0;  // completions tried, for drivers that report them

  ObjectiveModel objective_;
  ExtraSurfaces extras_;
  PanelObjectives extraObjectives_;  // the further modes' values of complete designs
  int skinPositions_ = 0;
  int stiffenerPositions_ = 0;
  const LaminateRules& skinRules_;
  const LaminateRules& stiffenerRules_;
  const ResponseSurface& model_;

 private:
  // What one turn found, and what it cost.
  struct TurnResult {
    std::vector<PanelDesign> designs;
    double best = 0.0;
    long long steps = 0;
    long long leaves = 0;
    bool searched = false;
  };
  std::vector<ActiveDesign> runTurns(const std::vector<ActiveDesign>& candidates, double& floor);
  TurnResult runTurn(const ActiveDesign& candidate);
  void takeTurn(const ActiveDesign& candidate, TurnResult& result, std::vector<ActiveDesign>& next,
                double& floor);
  std::vector<TurnResult> runTurnsTogether(const std::vector<ActiveDesign>& candidates);
  void pruneHistory(double floor);
  std::vector<ActiveDesign> printRound(int round, std::vector<ActiveDesign>& next);
  void keepUnprinted(std::vector<PanelDesign>& designs);
  void keepUnprinted(std::vector<ActiveDesign>& next);
  void selectResults();
  void selectUnprinted(std::vector<PanelDesign>& designs);

  TiedBest<PanelDesign> turnBest_;  // the turn in progress
  TiedBest<PanelDesign> results_;   // the largest values of the whole history
  DesignHistory history_;
  std::vector<std::vector<PanelDesign>> unprinted_;  // a stopped round's designs, turn by turn
  long long totalSteps_ = 0;
  long long roundSteps_ = 0;
  double runBest_ = 0.0;  // for the watcher only
  int turnThreads_ = 1;
  long long sharedRounds_ = 0;
  std::ostream* roundLog_ = &std::cout;
  std::vector<std::unique_ptr<AlternatingSearch>> turnWorkers_;  // made at the first round
  StackingSequence emptySkin_;
  StackingSequence emptyStiffener_;
};

}  // namespace kelm
