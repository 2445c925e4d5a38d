#pragma once

#include <memory>
#include <vector>

#include "alt/count_coupled_bound.h"
#include "search/extra_surfaces.h"

namespace kelm {

// The tight search's bound of the smallest of several surfaces where the modes trade off: for
// weights w >= 0 summing to 1, min_k f_k <= sum_k w_k f_k on every completion, so the
// count-coupled bound of any convex combination bounds the subtree (the Lagrangian dual of the
// smallest value). The best weights differ from subtree to subtree; they are sought on a grid
// (CombinationGrid), from the weights that last bounded best, to a neighbour that bounds lower,
// until one cuts the design or none is lower. Successive designs of a search lie mostly in the
// same region of trade-off, so the walk is short.
//
// Inside the tree a walk costs several count scans; it is made only while it cuts often enough.
class TradeOffBound {
 public:
  void setGrid(const ResponseSurface& model, const ExtraSurfaces& extras);
  void setModel(int skinPlyTotal, int stiffenerPlyTotal, const LaminateRules& skinRules,
                const LaminateRules& stiffenerRules);
  // A combination off the grid, tried before the walk on every design: the weights that
  // bound the optimum best, as the designs met before the tree tell them (TradeOffWeights).
  void setTuned(const std::vector<double>& weights, int skinPlyTotal, int stiffenerPlyTotal,
                const LaminateRules& skinRules, const LaminateRules& stiffenerRules);
  // Takes the count tables of another search of the same run (a worker of the master).
  void adoptTablesOf(const TradeOffBound& master);
  bool empty() const { return bounds_.empty(); }
  // The combinations of the grid (none before setModel() or for a single surface).
  const std::vector<ResponseSurface>& combinations() const;

  // The lowest bound found for the completions of `design` that can reach `best`: below best by
  // more than the tie tolerance once one combination cuts the design. `thorough`: walk on to
  // the lowest neighbour however far, where a design left open costs far more than the walk
  // (the last plies, all completed at once).
  // Inside the tree, where the walk has rarely cut, it is mostly skipped: +infinity then.
  double evaluate(const PanelDesign& design, double best, bool thorough = false);
  // The combinations the last evaluate() bounded the design with, when none cut it: each keeps
  // the counts its completions need (a convex combination is at least the smallest value).
  template <typename Add>
  void forEachOpenCombination(const Add& add) {
    for (CountCoupledBound* bound : walked_) add(*bound);
  }
  // Back to the first weights and a fresh count of cuts, at the start of each subtree, so that
  // what a thread finds in one does not depend on the subtrees it searched before.
  void restartWalk();
  // Where the walk stands: the weights it starts from and its counts of cuts. A batch of designs
  // expanded at once walks each from the state the batch began with, whichever thread takes it.
  struct WalkState {
    int current = 0;
    long long walks = 0;
    long long cuts = 0;
    long long skipped = 0;
  };
  WalkState walkState() const { return {current_, walks_, cuts_, skipped_}; }
  void resumeWalk(const WalkState& state) {
    current_ = state.current;
    walks_ = state.walks;
    cuts_ = state.cuts;
    skipped_ = state.skipped;
  }

 private:
  double walk(const PanelDesign& design, double best, int moves);

  // The surfaces of setGrid(): the grid is made for the laminates' totals in setModel().
  std::shared_ptr<const ResponseSurface> model_;
  ExtraSurfaces extras_;
  std::shared_ptr<const CombinationGrid> grid_;  // read only, shared with the workers
  std::vector<CountCoupledBound> bounds_;
  std::vector<CountCoupledBound> tuned_;  // the tuned weights, then their neighbours
  std::vector<CountCoupledBound*> walked_;  // the combinations of the last walk
  int current_ = 0;
  long long walks_ = 0;    // walks inside the tree since the restart
  long long cuts_ = 0;     // those that cut their design
  long long skipped_ = 0;  // designs the walk was skipped on, to try one in kRetryEvery
};

}  // namespace kelm
