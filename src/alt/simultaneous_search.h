#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "alt/alternative_search.h"
#include "alt/design_heap.h"
#include "alt/joint_bound_model.h"
#include "alt/ply_order.h"
#include "base/seeded_random.h"

namespace kelm {

// The alternative method's default driver: both laminates in one best-first branch-and-bound
// tree, with a joint bound and a random start that sets the best value before the first
// expansion. The last two positions of both laminates are completed together.
class SimultaneousSearch : public AlternativeSearch {
 public:
  SimultaneousSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                     const LaminateRules& stiffenerRules, std::uint32_t seed);

  void run(int skinPlyTotal, int stiffenerPlyTotal) override;
  long long completedCount() const { return completedCount_; }

 protected:
  void writeStepSuffix() const override;

 private:
  void randomStart();
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
  int skinPlyTotal_ = 0;
  int stiffenerPlyTotal_ = 0;
  std::uint32_t seed_;
  JointBoundModel bound_;
};

}  // namespace kelm
