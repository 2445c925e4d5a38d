#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "alt/alternative_search.h"
#include "alt/count_coupled_bound.h"
#include "alt/design_heap.h"
#include "alt/joint_bound_model.h"
#include "alt/ply_order.h"
#include "base/seeded_random.h"

namespace kelm {

// The alternative method's default driver: both laminates in one best-first branch-and-bound
// tree, with a joint bound and a random start that sets the best value before the first
// expansion. The last two positions of both laminates are completed together.
//
// The tight mode (opt-in) searches the same tree with sharper cuts: each child's key is the
// smaller of the joint bound and the count-coupled bound, the children with two open positions
// in each laminate are bounded before their completions, a popped design that can no longer
// reach the best value is dropped, and a local search from the random start's designs raises
// the first best value. It finds the same optimal designs with far fewer steps; designs of
// equal value are listed in the order the tree finds them, which may differ from the default.
class SimultaneousSearch : public AlternativeSearch {
 public:
  SimultaneousSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                     const LaminateRules& stiffenerRules, std::uint32_t seed, bool tight = false);

  void run(int skinPlyTotal, int stiffenerPlyTotal) override;
  long long completedCount() const { return completedCount_; }
  // The tight mode's first best value, from its local search (-infinity before or without one).
  double firstBestValue() const { return firstBest_; }

 protected:
  void writeStepSuffix() const override;

 private:
  void randomStart();
  // The tight mode's first best value: the random start's designs (or, under fixed ply numbers,
  // designs drawn with those numbers) improved by a local search.
  void tightStart();
  void drawUnderFixedNumbers(CRand& random);
  bool childCanReach(OpenDesign& child);
  void searchAgainFromTheIncumbent();
  // Draws designs until one passes both laminates' rules and raises `best` with its value.
  // `skinExcluded`/`stiffenerExcluded`: a code left out, or -1 for none. Gives up (false)
  // after randomDrawLimit draws, which happens when the rules admit no or almost no such design.
  bool drawFeasible(PanelDesign& design, CRand& random, int skinExcluded, int stiffenerExcluded);
  void treeSearch();
  // The tree search with the store keeping open designs as `Records` (whole or packed).
  template <typename Records>
  void treeSearchWith();
  template <typename Heap, typename Records>
  void expand(const OpenDesign& parent, Heap& heap);
  bool evaluateChild(OpenDesign& child);
  void completeLastPlies(const PanelDesign& child);

  PlyOrder plyOrder_;
  // The best design of the random start: never a result of a finished search (the tree finds
  // it again if it is optimal), but the best known design when the search is stopped early.
  std::optional<PanelDesign> incumbent_;
  long long completedCount_ = 0;
  double firstBest_ = -std::numeric_limits<double>::infinity();
  int skinPlyTotal_ = 0;
  int stiffenerPlyTotal_ = 0;
  std::uint32_t seed_;
  JointBoundModel bound_;
  const ResponseSurface& model_;
  bool tight_;
  CountCoupledBound tightBound_;
  std::vector<PanelDesign> starts_;  // the random start's designs, kept in the tight mode
};

}  // namespace kelm
