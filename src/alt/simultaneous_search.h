#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "alt/alternative_search.h"
#include "alt/count_coupled_bound.h"
#include "alt/design_heap.h"
#include "alt/expansion_crew.h"
#include "alt/joint_bound_model.h"
#include "alt/ply_order.h"
#include "alt/ranked_starts.h"
#include "alt/shared_counts.h"
#include "alt/subtree_hand_over.h"
#include "alt/trade_off_bound.h"
#include "base/seeded_random.h"
#include "search/step_ticker.h"

namespace kelm {

// The alternative method's default driver: both laminates in one best-first branch-and-bound
// tree, with a joint bound and a random start that sets the best value before the first
// expansion. The last two positions of both laminates are completed together.
//
// The tight mode (opt-in) searches the same tree with sharper cuts: each child's key is the
// smaller of the joint bound and the count-coupled bound, the children with two open positions
// in each laminate are bounded before their completions, a popped design that can no longer
// reach the best value is dropped, and a local search from the random start's designs raises
// the first best value. The tree is then shared out: best-first, in batches of the best open
// designs that the threads expand together, each from the best value the batch began with,
// until it holds a fixed number of open designs, whose subtrees are searched one by one by each
// of the threads, each from the best value of that moment, and depth-first while its open
// designs would pass its share of the memory budget. So the designs, the value, the steps and
// the report are the same for every number of threads; designs of equal value are listed in
// the order of their codes.
class SimultaneousSearch : public AlternativeSearch {
 public:
  SimultaneousSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                     const LaminateRules& stiffenerRules, std::uint32_t seed, bool tight = false);

  void run(int skinPlyTotal, int stiffenerPlyTotal) override;
  void setExtraSurfaces(const ExtraSurfaces& extras) override;
  long long completedCount() const { return completedCount_; }
  static constexpr int kSubtreeRoots = kDefaultSubtreeRoots;
  static constexpr std::size_t kFewestTiesHeld = std::size_t{1} << 20;
  // How many of the best open designs the tight mode's first phase expands at once, their
  // children shared out among the threads. Where the store holds that many, a batch keeps two
  // threads busy for a millisecond or more (a child's bound takes tens of microseconds to
  // milliseconds on thick laminates); where the first best value is the optimum, the designs a
  // batch expands are those the tree would expand one by one, as every design whose bound
  // reaches the optimum is expanded in any order.
  static constexpr int kExpansionBatch = 16;
  // Another batch size (1 or more), for tests and measurements: it changes the steps where the
  // best value rises during the first phase, never the designs or the value. `dealt` (tests
  // only): the designs of each batch are dealt to the threads in turn, so that the threads
  // share the batches of trees too small to keep them busy, and every child a batch offers
  // for evaluation ahead is evaluated ahead.
  void setExpansionBatch(int designs, bool dealt = false) {
    expansionBatch_ = std::max(1, designs);
    dealtBatches_ = dealt;
  }
  // The tight mode's threads (1 or more), the memory its open designs may take, in bytes (0: no
  // limit), and how many open designs its first phase leaves for the threads (by default the
  // process's hand-over setting). Tied designs may take half the budget, and at least
  // `fewestTies` designs; past that the search stops (StopReason::MemoryLimit) with the designs
  // it holds.
  void setParallelism(int threads, std::int64_t memoryBudget,
                      int subtreeRoots = subtreeRootsSetting(),
                      std::size_t fewestTies = kFewestTiesHeld);
  // How the tight mode's last run shared its tree out: the subtrees handed over, the threads
  // that searched at least one, and the subtrees that went depth-first under the memory budget;
  // the first phase's batches, the designs they expanded, the batches whose designs more
  // than one thread expanded, and the children a batch took as evaluated ahead of it.
  struct ShareOut {
    std::size_t subtrees = 0;
    int busyThreads = 0;
    long long depthFirstDives = 0;
    long long batches = 0;
    long long batchedDesigns = 0;
    long long sharedBatches = 0;
    long long childrenTakenAhead = 0;
  };
  const ShareOut& shareOut() const { return shareOut_; }
  // The steps after which the search stops with the best designs found so far (0: no limit;
  // StopReason::StepLimit). On one thread the designs it stops with are the same on every
  // machine and under any load; on several, the steps are shared out as the threads run.
  void setStepLimit(long long steps) { stepLimit_ = std::max(0LL, steps); }
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
  // The K best designs: the tree from the floor the start designs prove.
  void rankedSearch();
  // Draws designs until one passes both laminates' rules and raises `best` with its value.
  // `skinExcluded`/`stiffenerExcluded`: a code left out, or -1 for none. Gives up (false)
  // after randomDrawLimit draws, which happens when the rules admit no or almost no such design.
  bool drawFeasible(PanelDesign& design, CRand& random, int skinExcluded, int stiffenerExcluded);
  void treeSearch();
  OpenDesign rootDesign() const;
  // The tree search with the store keeping open designs as `Records` (whole or packed).
  template <typename Records>
  void treeSearchWith();
  template <typename Heap, typename Records>
  void expand(const OpenDesign& parent, Heap& heap);
  bool evaluateChild(OpenDesign& child);
  void completeLastPlies(const PanelDesign& child);
  void completeSingleLaminate(const PanelDesign& child);
  void countSteps(long long steps);

  // The tight mode's shared-out tree.
  template <typename Records>
  void tightTreeSearchWith();
  using Workers = std::vector<std::unique_ptr<SimultaneousSearch>>;
  Workers makeWorkers(StepTicker& ticker) const;
  // One child of a first-phase batch (an open design and a code for its next position) as a
  // worker evaluated it: the child if it stays open, the designs its completions found at or
  // above the batch's best value, where the trade-off walk ended, the thread that took it and
  // what it threw.
  template <typename Record>
  struct ExpandedChild {
    Record child;
    bool open = false;
    std::vector<PanelDesign> found;
    TradeOffBound::WalkState walk;
    int thread = 0;
    std::exception_ptr failure;
    // The steps and completed designs of an evaluation made ahead of its batch, counted when
    // the batch takes it (0 for the others, counted as they go).
    long long steps = 0;
    long long completed = 0;
  };
  // A first-phase open design in the store, with the batch and place it was a child of.
  template <typename Record>
  struct BatchChild {
    Record record;
    double bound;
    long long batch;
    std::size_t place;
  };
  // The first phase on the threads of `crew` (thread i expands with workers[i]), until the store
  // holds the open designs to share out; they leave it best first.
  template <typename Records>
  std::vector<typename Records::Record> splitIntoSubtrees(const Workers& workers,
                                                          ExpansionCrew& crew);
  // The first phase's batch in progress: its designs, the place each held among the children
  // of the batch before (or kNoChildPlace), and where each child's evaluation is (made
  // in the batch, `expanded`, or ahead of it); `fresh`: the places the batch evaluates itself.
  template <typename Record>
  struct FirstPhaseBatch {
    std::vector<Record> designs;
    std::vector<std::size_t> origins;
    std::vector<ExpandedChild<Record>> expanded;
    std::vector<ExpandedChild<Record>*> outOf;
    std::vector<std::size_t> fresh;
    long long number = 0;  // batches formed so far
  };
  // Pops up to the batch size of the best open designs that can still reach the best value.
  template <typename Records>
  void takeBatch(DesignHeap<BatchChild<typename Records::Record>>& heap,
                 FirstPhaseBatch<typename Records::Record>& batch) const;
  // Pushes the batch's open children and enters the designs found, in the order of the places;
  // the steps of the evaluations made ahead are counted (by `counter`). Whether more than one
  // thread evaluated the batch.
  template <typename Records>
  bool mergeBatch(FirstPhaseBatch<typename Records::Record>& batch,
                  DesignHeap<BatchChild<typename Records::Record>>& heap,
                  SimultaneousSearch& counter);
  // In a worker: one child of a batch's design, from the batch's best value `floor` and walk
  // state.
  template <typename Records>
  void expandInBatch(const typename Records::Record& record, int code, double floor,
                     const TradeOffBound::WalkState& walk,
                     ExpandedChild<typename Records::Record>& out);
  // In a worker: a child evaluated ahead of its batch (see ChildrenAhead), its steps held back.
  template <typename Records, typename Unit>
  void expandAhead(Unit& unit);
  // The steps of an evaluation made ahead, when its batch takes it.
  void countStepsAhead(long long steps, long long completed);
  // The child of `parent` with `code` at the next position of the parent's active laminate,
  // into `child`; whether it stays open. The joint bounds' terms must be the parent's.
  bool openChild(const OpenDesign& parent, int code, OpenDesign& child);
  template <typename Records>
  // `first`: the subtree this thread starts with, before those after `next`; `start`: the best
  // value every subtree starts from; `watched`: the progress a watcher reads, published by one
  // of the threads (or none).
  void searchSubtrees(const std::vector<typename Records::Record>& roots, std::size_t first,
                      std::atomic<std::size_t>& next, std::int64_t budget, double start,
                      SearchProgress* watched);
  template <typename Heap, typename Records>
  void diveDepthFirst(Heap& heap, OpenDesign& parent);
  // A worker searches subtrees of this run with its own bounds and its own best designs.
  void adoptRunOf(const SimultaneousSearch& master, StepTicker* ticker);
  void mergeWorkers(const Workers& workers);

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
  bool tight_;
  CountCoupledBound tightBound_;
  // The bounds of the further failure modes: the node's bound is the smallest of the objective
  // surfaces' bounds, and a node whose bound of a required surface is below its limit is cut.
  struct ExtraBound {
    const ResponseSurface* surface = nullptr;
    JointBoundModel joint;
    CountCoupledBound tight;
    bool required = false;
    double limit = 0.0;
  };
  std::vector<ExtraBound> extraBounds_;
  std::vector<ResponseSurface> boundingMeans_;  // weighted means of the objective surfaces
  TradeOffBound tradeOff_;  // the tight mode's convex combinations of the objective surfaces
  bool tradeOffAllows(OpenDesign& child, bool lastPlies);
  bool extrasAllow(OpenDesign& child);
  // The tight mode with further surfaces: every mode's bound over the counts all of them keep.
  bool sharedCountsAllow(OpenDesign& child);
  void setSharedModes();
  SharedCounts sharedCounts_;
  std::vector<SharedCounts::Mode> sharedModes_;  // the objective's bound, then each extra's
  std::size_t fixedSharedModes_ = 0;
  void setExtraBoundModels();
  void takeEdgesAlongTheEdges();
  std::vector<PanelDesign> starts_;  // the random start's designs, kept in the tight mode
  std::optional<RankedStarts> rankedStarts_;  // the designs met before the tree, for the K best
  int threads_ = 1;
  std::int64_t memoryBudget_ = 0;
  int subtreeRoots_ = subtreeRootsSetting();
  int expansionBatch_ = kExpansionBatch;
  bool dealtBatches_ = false;
  bool countingAhead_ = false;  // a worker's steps are held back, not shown
  OpenDesign batchParent_;  // a worker's open design of a batch, rebuilt in place
  OpenDesign batchChild_;
  ShareOut shareOut_;  // a worker's own counts; the master's after the merge
  long long stepLimit_ = 0;
  StepTicker* ticker_ = nullptr;  // the tight mode's shared step count
  std::vector<PanelDesign> found_;  // a worker's best designs of each subtree it searched
};

}  // namespace kelm
