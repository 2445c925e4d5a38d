#pragma once

#include "iter/alternating_search.h"
#include "iter/bound_model.h"
#include "iter/branch_store.h"
#include "iter/turn_count_bound.h"

namespace kelm {

// The iterative method's default driver: each turn searches the active laminate by branch and
// bound. Children are checked against the rules and bounded from above; those that cannot reach
// the turn's best value are dropped, and the last two positions are completed directly.
//
// The tight mode (opt-in) searches the same tree with sharper cuts: a child's key is the smaller
// of the default bound and the count bound of the active laminate (TurnCountBound), a branch
// taken from a store that can no longer reach the best value is dropped, and a child with two
// open positions is bounded before its nine completions. Each turn finds the same designs with
// far fewer steps.
class BranchAndBoundSearch : public AlternatingSearch {
 public:
  BranchAndBoundSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                       const LaminateRules& stiffenerRules, bool tight = false);

  void run(int skinPlyTotal, int stiffenerPlyTotal) override;
  void setExtraSurfaces(const ExtraSurfaces& extras) override;

 protected:
  StackingSequence initialStiffener(const StackingSequence& emptyStiffener) override;
  void prepareTurn(const ActiveDesign& candidate) override;
  void searchTurn(const ActiveDesign& candidate) override;
  void writeStepLine() const override;
  // The tight turns can be shared out: a worker with this run's count tables.
  std::unique_ptr<AlternatingSearch> turnWorker() const override;

 private:
  bool diveToLastPlies(BranchStack& stack);
  void exhaustDepthFirst(BranchStack& stack);
  // Tries the children 0, 1, 2 of a branch; `keep` receives each kept child whose position is
  // not the last-but-one. Returns whether a child at the last-but-one position was kept.
  template <typename Keep>
  bool expand(const Branch& branch, Keep&& keep);
  bool evaluateChild(Branch& child);
  // The tight mode's key of a child the default bound keeps, and its cut before the last two.
  void sharpenBound(Branch& child);
  bool lastTwoCanReach(const StackingSequence& child);
  // Whether a branch taken from a store is still worth expanding.
  bool worthExpanding(const Branch& branch) const;
  bool completeLastTwo(const StackingSequence& child);
  void completeSmall(const StackingSequence& child);
  void recordCompletion(const StackingSequence& complete);

  ActiveDesign design_;  // the candidate of the turn; its active laminate is the one searched
  int activePositions_ = 0;
  BoundModel bound_;
  BranchHeap heap_{0};  // kept across turns, so that its pages are touched once per run
  bool tight_ = false;
  TurnCountBound countBound_;  // used by the tight mode only
  // The further failure modes' bounds: a branch's bound is the smallest of the objective
  // surfaces' bounds, and a branch whose bound of a required surface is below its limit is cut.
  struct ExtraBound {
    BoundModel bound;
    TurnCountBound count;  // the tight mode only
    bool required = false;
    double limit = 0.0;
  };
  std::vector<ExtraBound> extraBounds_;
  std::vector<ResponseSurface> boundingMeans_;  // weighted means of the objective surfaces
  bool extrasAllow(Branch& child);
};

// Open branches held before the best-first phase dives depth-first instead of growing the heap.
inline constexpr int kHeapSwitchCount = 712500;

}  // namespace kelm
