#pragma once

#include <cstdint>
#include <vector>

#include "alt/alternative_search.h"
#include "alt/joint_bound_model.h"
#include "base/seeded_random.h"
#include "search/best_first_heap.h"

namespace kelm {

struct DesignHeapPolicy {
  static double key(const PanelDesign& design) { return design.designBound; }
  static constexpr std::int64_t kLimit = 0;  // grows without limit
  static void atLimit() {}
};

// Best-first store of open designs: (ns + nt)^2 slots at first, ten times more whenever full.
class DesignHeap : public BestFirstHeap<PanelDesign, DesignHeapPolicy> {
 public:
  explicit DesignHeap(int positions)
      : BestFirstHeap(static_cast<std::int64_t>(positions) * static_cast<std::int64_t>(positions)) {}
};

// Share of a laminate's bending stiffness carried by position j of n: positions near the
// surface weigh most, so the search sets the heavier of the two laminates' next positions first.
double plyWeight(int n, int j);

// Which laminate a design extends next, given how many positions each holds. Extends the one
// whose next position weighs more (the skin on equal weights), but never sends a ply to a
// laminate already down to its last two positions while the other still has more open.
bool extendSkinNext(int ns, int nt, int skinSet, int stiffenerSet, bool skinByWeight);

// The alternative method's default driver: both laminates in one best-first branch-and-bound
// tree, with a joint bound and a random start that sets the best value before the first
// expansion. The last two positions of both laminates are completed together.
class SimultaneousSearch : public AlternativeSearch {
 public:
  SimultaneousSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                     const LaminateRules& stiffenerRules, std::uint32_t seed);

  void run(int skinPlyTotal, int stiffenerPlyTotal) override;
  int completedCount() const { return completedCount_; }

 protected:
  void writeStepSuffix() const override;

 private:
  void randomStart();
  // Draws designs until one passes both laminates' rules and raises `best` with its value.
  // `skinExcluded`/`stiffenerExcluded`: a code left out, or -1 for none. Gives up (false)
  // after randomDrawLimit draws, which happens when the rules admit no or almost no such design.
  bool drawFeasible(PanelDesign& design, CRand& random, int skinExcluded, int stiffenerExcluded);
  void treeSearch();
  void expand(const PanelDesign& parent, DesignHeap& heap);
  bool evaluateChild(PanelDesign& child);
  void completeLastPlies(const PanelDesign& child);

  // plyWeight(n, j) of both laminates for j = 1..n + 2, computed once per run.
  std::vector<double> skinWeights_;
  std::vector<double> stiffenerWeights_;
  int completedCount_ = 0;
  int skinPlyTotal_ = 0;
  int stiffenerPlyTotal_ = 0;
  std::uint32_t seed_;
  JointBoundModel bound_;
};

}  // namespace kelm
