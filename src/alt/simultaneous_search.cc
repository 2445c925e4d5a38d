#include "alt/simultaneous_search.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <iterator>
#include <iostream>
#include <limits>
#include <optional>
#include <thread>

#include "laminate/design_rules.h"
#include "alt/children_ahead.h"
#include "alt/drawn_laminates.h"
#include "alt/record_stack.h"
#include "alt/start_climbs.h"
#include "search/design_report.h"
#include "search/extra_surfaces.h"
#include "alt/ply_order.h"
#include "search/panel_value.h"
#include "search/progress_line.h"
#include "search/random_draws.h"
#include "base/fatal.h"
#include "base/stop_request.h"

namespace kelm {

namespace {
constexpr int kFirstPhaseDesigns = 5;
constexpr int kCompletionSteps = 80;     // 81 completed designs count as one step each, less
constexpr int kCompletionDesigns = 81;   // the child evaluation already counted
constexpr int kSingleCompletionSteps = 8;  // the same for the 9 completions of one laminate
constexpr int kSingleCompletionDesigns = 9;
// Under design guidelines a draw rarely passes, and a random phase takes a good part of a
// second on long laminates: the stop request is read every so many draws.
constexpr int kDrawsBetweenStopChecks = 256;
// What one open design takes in a store: its record and its key and slot in the heap.
constexpr std::int64_t kHeapEntryBytes = 16;

}  // namespace

SimultaneousSearch::SimultaneousSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                       const LaminateRules& stiffenerRules, std::uint32_t seed,
                                       bool tight)
    : AlternativeSearch(model, skinRules, stiffenerRules), seed_(seed), tight_(tight) {
  bound_.setJointBoundModel(model);
}

void SimultaneousSearch::setExtraSurfaces(const ExtraSurfaces& extras) {
  AlternativeSearch::setExtraSurfaces(extras);
  extraBounds_.clear();
  // The tight mode walks a grid of convex combinations (before the fixed means and the surfaces
  // themselves, in extrasAllow); both modes have the means.
  boundingMeans_ = boundingMeans(model_, extras);
  if (tight_) tradeOff_.setGrid(model_, extras);
  auto add = [&](const ResponseSurface& surface, bool required, double limit) {
    extraBounds_.emplace_back();
    extraBounds_.back().surface = &surface;
    extraBounds_.back().joint.setJointBoundModel(surface);
    extraBounds_.back().required = required;
    extraBounds_.back().limit = limit;
  };
  // The means first: they cut most where the modes trade off.
  for (const ResponseSurface& mean : boundingMeans_) add(mean, false, 0.0);
  for (const ResponseSurface* surface : extras.minOf) add(*surface, false, 0.0);
  for (const SurfaceRequirement& requirement : extras.required)
    add(*requirement.surface, true, requirement.limit);
}

// The tight search and a single laminate's search (both beyond the specified tree) bound with
// the edge maxima taken along the edges: their cuts hold to the last bit.
void SimultaneousSearch::takeEdgesAlongTheEdges() {
  bound_.takeEdgesAlongTheEdges();
  for (ExtraBound& extra : extraBounds_) extra.joint.takeEdgesAlongTheEdges();
}

// The count bounds of the further modes, once the totals are known (the tight mode only).
void SimultaneousSearch::setExtraBoundModels() {
  tradeOff_.setModel(skinPlyTotal_, stiffenerPlyTotal_, skinRules_, stiffenerRules_);
  for (ExtraBound& extra : extraBounds_)
    extra.tight.setModel(*extra.surface, skinPlyTotal_, stiffenerPlyTotal_, skinRules_,
                         stiffenerRules_, &stopRequestRead(), 0);
  setSharedModes();
}

void SimultaneousSearch::setSharedModes() {
  sharedCounts_.setPositions(skinPositions_, stiffenerPositions_);
  sharedModes_.clear();
  if (extraBounds_.empty()) return;
  sharedModes_.push_back({&tightBound_, 0.0, true});
  for (ExtraBound& extra : extraBounds_)
    sharedModes_.push_back({&extra.tight, extra.limit, !extra.required});
  fixedSharedModes_ = sharedModes_.size();
  sharedModes_.reserve(fixedSharedModes_ + 256);
}

void SimultaneousSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  skinPlyTotal_ = skinPlyTotal;
  stiffenerPlyTotal_ = stiffenerPlyTotal;
  skinPositions_ = halfPositions(skinPlyTotal);
  stiffenerPositions_ = halfPositions(stiffenerPlyTotal);
  plyOrder_ = PlyOrder(skinPositions_, stiffenerPositions_);
  if (tight_ || stiffenerPositions_ == 0) takeEdgesAlongTheEdges();
  if (results_.top() > 0) rankedStarts_.emplace(results_.top(), objectives_);
  if (!skinRules_.plyNumbersFixed && !stiffenerRules_.plyNumbersFixed) randomStart();
  if (tight_) tightStart();
  if (!stopRequested()) {  // a set-up cut short leaves the tables incomplete
    if (rankedStarts_) return rankedSearch();
    treeSearch();
  }
  if (!results_.designs().empty() || !incumbent_) return;
  if (stopRequested()) {
    // Stopped before the tree gave a design: the best random design is the best one known.
    results_.enter(*incumbent_, incumbent_->value);
    return;
  }
  searchAgainFromTheIncumbent();
}

// The random start values its laminates after rewriting their plies draw after draw, so their
// lamination parameters carry the rounding of every rewrite; where the rules admit few designs
// (many draws), the value it raised the best to can lie above the exact value of every design
// by more than the tie tolerance, and the tree then finds none. The tree searches again from the
// exact value of the best random design, rebuilt ply by ply as the tree builds designs: the
// optimum and its ties are then found, and the steps of both searches are counted.
void SimultaneousSearch::searchAgainFromTheIncumbent() {
  PanelDesign exact;
  exact.skin.setPlyTotal(skinPlyTotal_);
  exact.stiffener.setPlyTotal(stiffenerPlyTotal_);
  for (int p = 1; p <= skinPositions_; ++p) exact.skin.setTheta(p, incumbent_->skin.codeAt(p));
  for (int p = 1; p <= stiffenerPositions_; ++p)
    exact.stiffener.setTheta(p, incumbent_->stiffener.codeAt(p));
  results_.restart(objectives_.value(exact));
  treeSearch();
}

// Nothing below 0.0 is listed, as for the best alone. Stopped before the tree found a design,
// the best start is the best design known.
void SimultaneousSearch::rankedSearch() {
  const std::optional<double> floor = rankedStarts_->floor();
  rankedStarts_.reset();
  results_.restart(std::max(0.0, floor.value_or(0.0)));
  treeSearch();
  if (results_.designs().empty() && stopRequested() && incumbent_)
    results_.enter(*incumbent_, incumbent_->value);
  rankResults();
}

// A few random feasible designs, some leaving out one code per laminate, give the tree search
// a best value to prune against from its first expansion on. They never enter the results.
void SimultaneousSearch::randomStart() {
  PanelDesign design;
  design.skin.setPlyTotal(skinPlyTotal_);
  design.stiffener.setPlyTotal(stiffenerPlyTotal_);
  design.skin.fillZero();
  design.stiffener.fillZero();
  CRand random(seed_);
  for (int found = 0; found < kFirstPhaseDesigns; ++found) {
    if (!drawFeasible(design, random, kNoExclusion, kNoExclusion)) break;
  }
  for (int skinExcluded = 0; skinExcluded < kSearchedCodes; ++skinExcluded) {
    for (int stiffenerExcluded = 0; stiffenerExcluded < kSearchedCodes; ++stiffenerExcluded)
      drawFeasible(design, random, skinExcluded, stiffenerExcluded);
  }
}

void SimultaneousSearch::tightStart() {
  // The tables of long laminates take a second or more: a stop request ends their set-up, and
  // the search keeps the random start's best design.
  tightBound_.setModel(model_, skinPlyTotal_, stiffenerPlyTotal_, skinRules_, stiffenerRules_,
                       &stopRequestRead(), OpenCountTable::kBoundedStretch, threads_);
  setExtraBoundModels();
  if (stopRequested()) return;
  CRand random(seed_);
  if (starts_.empty()) drawUnderFixedNumbers(random);
  const StartClimbs climbs({model_, objectives_, extras_, skinRules_, stiffenerRules_, excluded_,
                            stopRequestRead(), skinPlyTotal_, stiffenerPlyTotal_},
                           skinPositions_, stiffenerPositions_, threads_);
  RankedStarts* seen = rankedStarts_ ? &*rankedStarts_ : nullptr;
  const std::optional<PanelDesign> bestStart = climbs.climb(starts_, tradeOff_, random, seen);
  starts_.clear();
  if (!bestStart || !(bestStart->value > 0.0)) return;
  incumbent_ = bestStart;
  results_.restart(bestStart->value);
  firstBest_ = bestStart->value;
  // Under further failure modes the first best design is the best by the smallest value, not
  // by the objective's alone; its counts are then no guide to the objective's bound.
  if (extraBounds_.empty()) tightBound_.preferTotalsOf(*bestStart);
}

void SimultaneousSearch::drawUnderFixedNumbers(CRand& random) {
  const int draws = randomDrawLimit(skinPositions_ + stiffenerPositions_,
                                    skinRules_.guidelines() || stiffenerRules_.guidelines());
  const std::size_t wanted = kFirstPhaseDesigns;
  for (int draw = 0; draw < draws && starts_.size() < wanted; ++draw) {
    if (draw % kDrawsBetweenStopChecks == 0 && stopRequested()) return;
    PanelDesign design;
    design.skin = drawnLaminate(skinPlyTotal_, skinRules_, random);
    design.stiffener = drawnLaminate(stiffenerPlyTotal_, stiffenerRules_, random);
    if (checkComplete(design.skin, skinRules_) &&
        checkComplete(design.stiffener, stiffenerRules_) && !isExcluded(design))
      starts_.push_back(design);
  }
}

bool SimultaneousSearch::drawFeasible(PanelDesign& design, CRand& random, int skinExcluded,
                                      int stiffenerExcluded) {
  const int draws = randomDrawLimit(skinPositions_ + stiffenerPositions_,
                                    skinRules_.guidelines() || stiffenerRules_.guidelines());
  for (int draw = 0; draw < draws; ++draw) {
    if (draw % kDrawsBetweenStopChecks == 0 && stopRequested()) return false;
    drawLaminate(design.skin, random, skinExcluded);
    drawLaminate(design.stiffener, random, stiffenerExcluded);
    if (!checkComplete(design.skin, skinRules_) || !checkComplete(design.stiffener, stiffenerRules_))
      continue;
    if (isExcluded(design)) return true;
    design.value = objectives_.value(design);
    if (objectives_.hasExtras() && !objectives_.meetsRequirements(design)) return true;
    if (design.value > results_.best()) incumbent_ = design;
    if (tight_) starts_.push_back(design);
    else if (rankedStarts_) rankedStarts_->offer(design);
    results_.raise(design.value);
    return true;
  }
  return false;
}

// Open designs are packed while they wait when both laminates fit the packed codes; longer
// laminates keep whole records.
void SimultaneousSearch::treeSearch() {
  constexpr int kPackable = StackingSequence::kPackablePositions;
  const bool packed = skinPositions_ <= kPackable && stiffenerPositions_ <= kPackable;
  if (tight_ && packed) tightTreeSearchWith<PackedRecords>();
  else if (tight_) tightTreeSearchWith<WholeRecords>();
  else if (packed) treeSearchWith<PackedRecords>();
  else treeSearchWith<WholeRecords>();
}

// Both laminates empty; nothing is known of them, so the key lets it through any best value.
OpenDesign SimultaneousSearch::rootDesign() const {
  OpenDesign root;
  root.design.skin.setPlyTotal(skinPlyTotal_);
  root.design.stiffener.setPlyTotal(stiffenerPlyTotal_);
  root.skinActive = plyOrder_.rootExtendsSkin();
  root.bound = std::numeric_limits<double>::infinity();
  return root;
}

template <typename Records>
void SimultaneousSearch::treeSearchWith() {
  DesignHeap<typename Records::Record> heap(skinPositions_ + stiffenerPositions_);
  const OpenDesign root = rootDesign();
  heap.push(Records::pack(root));
  OpenDesign parent = root;  // rebuilt from each popped record in place
  const bool ranked = results_.top() > 0;
  while (heap.count() > 0 && !stopRequested()) {
    Records::unpack(heap.pop(), parent);
    // The floor of the K best rises while designs wait; the best alone keeps its steps.
    if (!ranked || canReach(parent.bound, best())) expand<decltype(heap), Records>(parent, heap);
    progress_.publish(totalSteps_, heap.count(), best());
  }
}

// Sets the parent's next position of its active laminate to each code; children that stay
// open learn which laminate their own children extend.
template <typename Heap, typename Records>
void SimultaneousSearch::expand(const OpenDesign& parent, Heap& heap) {
  bound_.setJointBoundTerms(parent);
  for (ExtraBound& extra : extraBounds_) extra.joint.setJointBoundTerms(parent);
  for (int code = 0; code < kSearchedCodes; ++code) {
    OpenDesign child = parent;
    if (openChild(parent, code, child)) heap.push(Records::pack(child));
  }
}

bool SimultaneousSearch::openChild(const OpenDesign& parent, int code, OpenDesign& child) {
  const int ks = parent.design.skin.setCount();
  const int kt = parent.design.stiffener.setCount();
  const bool skinExtended = parent.skinActive;
  child.active().setTheta((skinExtended ? ks : kt) + 1, code);
  if (!evaluateChild(child)) return false;
  child.skinActive = plyOrder_.childrenExtendSkin(ks, kt, skinExtended);
  return true;
}

bool SimultaneousSearch::evaluateChild(OpenDesign& child) {
  const int ns = skinPositions_;
  const int nt = stiffenerPositions_;
  const StackingSequence& skin = child.design.skin;
  const StackingSequence& stiffener = child.design.stiffener;
  if (!checkPartial(skin, skinRules_) || !checkPartial(stiffener, stiffenerRules_)) return false;
  countSteps(1);
  if (skin.setCount() == ns - 2 && stiffener.setCount() == lastPliesStart(nt)) {
    if (tradeOffAllows(child, true) &&
        (!tight_ || canReach(tightBound_.evaluate(child.design, best()), best())) &&
        (extraBounds_.empty() || extrasAllow(child)))
      completeLastPlies(child.design);
    return false;
  }
  if (ns <= 2 || (nt != 0 && nt <= 2))
    fatal(Stream::Err, "ply number must be greater than 4!", false);
  return childCanReach(child);
}

// The joint bound prunes alone where it can; the tight mode's key is the smallest of the bounds.
bool SimultaneousSearch::childCanReach(OpenDesign& child) {
  child.bound = bound_.evaluateJointBound(child);
  if (!canReach(child.bound, best()) || !tradeOffAllows(child, false)) return false;
  if (tight_) child.bound = std::min(child.bound, tightBound_.evaluate(child.design, best()));
  if (!canReach(child.bound, best())) return false;
  return extraBounds_.empty() || (extrasAllow(child) && sharedCountsAllow(child));
}

// Where modes trade off, a combination of them cuts far more designs than any one surface's own
// bound (at a kink the maximised surface's own bound almost never does): the combinations go
// first. Only the tight mode with further objective surfaces has them.
bool SimultaneousSearch::tradeOffAllows(OpenDesign& child, bool lastPlies) {
  if (tradeOff_.empty()) return true;
  const double bound = tradeOff_.evaluate(child.design, best(), lastPlies);
  child.bound = std::min(child.bound, bound);
  return canReach(bound, best());
}

// Every completion's smallest objective value is at most each objective surface's bound, and
// a required surface's bound below its limit leaves no allowed completion.
bool SimultaneousSearch::extrasAllow(OpenDesign& child) {
  for (ExtraBound& extra : extraBounds_) {
    const double floor = extra.required ? extra.limit : best();
    double bound = extra.joint.evaluateJointBound(child);
    if (tight_ && canReach(bound, floor)) bound = std::min(bound, extra.tight.evaluate(child.design, floor));
    if (!canReach(bound, floor)) return false;
    if (!extra.required) child.bound = std::min(child.bound, bound);
  }
  return true;
}

bool SimultaneousSearch::sharedCountsAllow(OpenDesign& child) {
  if (!tight_) return true;
  sharedModes_.resize(fixedSharedModes_);
  for (SharedCounts::Mode& mode : sharedModes_)
    if (mode.objective) mode.floor = best();
  tradeOff_.forEachOpenCombination(
      [&](CountCoupledBound& bound) { sharedModes_.push_back({&bound, best(), true}); });
  return sharedCounts_.allow(sharedModes_, child.bound) && canReach(child.bound, best());
}

// Both laminates lack their last two positions: all 81 completions are valued directly (the 9
// of a single laminate, whose absent stiffener has nothing to complete).
void SimultaneousSearch::completeLastPlies(const PanelDesign& child) {
  const int ns = skinPositions_;
  const int nt = stiffenerPositions_;
  if (nt == 0) return completeSingleLaminate(child);
  countSteps(kCompletionSteps);
  completedCount_ += kCompletionDesigns;
  for (int a = 0; a < kSearchedCodes; ++a) {
    for (int b = 0; b < kSearchedCodes; ++b) {
      PanelDesign design = child;
      design.skin.setTheta(ns - 1, a);
      design.skin.setTheta(ns, b);
      if (!checkComplete(design.skin, skinRules_)) continue;
      for (int c = 0; c < kSearchedCodes; ++c) {
        for (int d = 0; d < kSearchedCodes; ++d) {
          design.stiffener = child.stiffener;
          design.stiffener.setTheta(nt - 1, c);
          design.stiffener.setTheta(nt, d);
          if (checkComplete(design.stiffener, stiffenerRules_)) evaluateAndEnter(design);
        }
      }
    }
  }
}

void SimultaneousSearch::completeSingleLaminate(const PanelDesign& child) {
  const int ns = skinPositions_;
  countSteps(kSingleCompletionSteps);
  completedCount_ += kSingleCompletionDesigns;
  for (int a = 0; a < kSearchedCodes; ++a) {
    for (int b = 0; b < kSearchedCodes; ++b) {
      PanelDesign design = child;
      design.skin.setTheta(ns - 1, a);
      design.skin.setTheta(ns, b);
      if (checkComplete(design.skin, skinRules_)) evaluateAndEnter(design);
    }
  }
}

// The default tree shows the counter when a single step lands on a multiple of the interval;
// the tight mode's shared count shows every multiple.
void SimultaneousSearch::countSteps(long long steps) {
  totalSteps_ += steps;
  if (countingAhead_) return;
  if (ticker_) ticker_->add(steps);
  else if (steps == 1 && totalSteps_ % kTreeProgressInterval == 0) showProgress(progress_.stepCounterShown, totalSteps_);
  if (stepLimit_ > 0 && (ticker_ ? ticker_->steps() : totalSteps_) >= stepLimit_) stopForSteps();
}

void SimultaneousSearch::writeStepSuffix() const {
  std::cout << "(-" << completedCount_ << ") done." << '\n';
}

// The open designs the first phase leaves are enough for two to eight threads to share the
// work evenly; their number does not depend on the threads, so neither do the steps.
void SimultaneousSearch::setParallelism(int threads, std::int64_t memoryBudget,
                                        int subtreeRoots, std::size_t fewestTies) {
  threads_ = std::max(1, threads);
  memoryBudget_ = std::max<std::int64_t>(0, memoryBudget);
  subtreeRoots_ = std::max(1, subtreeRoots);
  // Tied designs may take half the budget beside the open designs (and at least `fewestTies`,
  // so that a small budget only sends the tree depth-first): a plateau of millions of equal
  // values (a surface that is constant where the others pass it) stops the search with the
  // designs it holds instead of filling the machine.
  const std::int64_t share = memoryBudget_ / 2 / threads_;
  tieLimit_ = memoryBudget_ > 0
                  ? std::max<std::size_t>(fewestTies, static_cast<std::size_t>(share) / sizeof(PanelDesign))
                  : 0;
}

template <typename Records>
void SimultaneousSearch::tightTreeSearchWith() {
  using Record = typename Records::Record;
  StepTicker ticker(totalSteps_, progress_.stepCounterShown);
  ticker_ = &ticker;
  const Workers workers = makeWorkers(ticker);
  const std::int64_t budget =
      memoryBudget_ > 0 ? std::max<std::int64_t>(1, memoryBudget_ / threads_) : 0;
  ExpansionCrew crew(threads_, dealtBatches_);
  std::vector<Record> roots;
  double start = 0.0;
  // Thread i searches subtree i first, then the next one no thread has taken: on a small tree
  // the first thread would otherwise search every subtree before the others began.
  std::atomic<std::size_t> next{static_cast<std::size_t>(threads_)};
  std::vector<std::exception_ptr> failures(threads_);
  // The first thread forms the first phase's batches; the others evaluate their children with it
  // until it dismisses them, and then read the subtrees and their start value it left.
  auto work = [&](int i) {
    try {
      if (i == 0) {
        try {
          roots = splitIntoSubtrees<Records>(workers, crew);
        } catch (...) {
          crew.dismiss();
          throw;
        }
        start = best();
        crew.dismiss();
      } else {
        crew.serve(i);
      }
      workers[i]->searchSubtrees<Records>(roots, i, next, budget, start,
                                          i == 0 ? &progress_ : nullptr);
    } catch (...) {
      failures[i] = std::current_exception();
      next = std::numeric_limits<std::size_t>::max() / 2;  // the others stop after their subtree
    }
  };
  std::vector<std::thread> threads;
  for (int i = 1; i < threads_; ++i) threads.emplace_back(work, i);
  work(0);
  for (std::thread& thread : threads) thread.join();
  ticker_ = nullptr;
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  const ShareOut firstPhase = shareOut_;
  mergeWorkers(workers);
  shareOut_.batches = firstPhase.batches;
  shareOut_.batchedDesigns = firstPhase.batchedDesigns;
  shareOut_.sharedBatches = firstPhase.sharedBatches;
  shareOut_.childrenTakenAhead = firstPhase.childrenTakenAhead;
}

SimultaneousSearch::Workers SimultaneousSearch::makeWorkers(StepTicker& ticker) const {
  Workers workers;
  for (int i = 0; i < threads_; ++i) {
    workers.push_back(
        std::make_unique<SimultaneousSearch>(model_, skinRules_, stiffenerRules_, seed_, true));
    if (!extras_.empty()) workers.back()->setExtraSurfaces(extras_);
    if (excluded_) workers.back()->setExcludedDesigns(*excluded_);
    workers.back()->setTop(results_.top());
    workers.back()->adoptRunOf(*this, &ticker);
  }
  return workers;
}

// Best-first, a batch of the best open designs at a time, until the store holds the open
// designs to share out; they leave it best first. Each design of a batch is expanded from the
// best value the batch began with, and the batch's children enter the store in the order of
// their parents: which thread expanded what changes nothing. A design found in a batch raises
// the best value for the next one. A thread left without a child of the batch evaluates the
// children of the batch's open children ahead (without trade-off walks, whose state passes from
// batch to batch); the next batch takes those it holds if its best value is the same.
template <typename Records>
std::vector<typename Records::Record> SimultaneousSearch::splitIntoSubtrees(
    const Workers& workers, ExpansionCrew& crew) {
  using Record = typename Records::Record;
  using Ahead = ChildrenAhead<Record, ExpandedChild<Record>>;
  constexpr std::size_t kCodes = kSearchedCodes;
  DesignHeap<BatchChild<Record>> heap(skinPositions_ + stiffenerPositions_);
  {
    Record root = Records::pack(rootDesign());
    const double rootBound = root.bound;
    heap.push({std::move(root), rootBound, 0, kNoChildPlace});
  }
  const std::size_t batchSize = static_cast<std::size_t>(expansionBatch_);
  FirstPhaseBatch<Record> batch;
  batch.designs.reserve(batchSize);
  batch.origins.reserve(batchSize);
  batch.expanded.resize(batchSize * kCodes);
  batch.outOf.resize(batchSize * kCodes);
  batch.fresh.reserve(batchSize * kCodes);
  std::vector<std::size_t> takenOpen;  // places taken done and open, whose children are offered
  takenOpen.reserve(batchSize * kCodes);
  double floor = best();
  TradeOffBound::WalkState walk = tradeOff_.walkState();
  const bool lookAhead = threads_ > 1 && tradeOff_.empty();
  std::optional<Ahead> ahead;
  if (lookAhead)
    ahead.emplace(
        kSearchedCodes, batchSize,
        [&](int thread, typename Ahead::Unit& unit) {
          unit.out.thread = thread;
          workers[thread]->expandAhead<Records>(unit);
        },
        [&] { crew.wake(); });
  // A batch's places are its children: on thick laminates the tree is narrow (a batch of one
  // or two designs), and a child's bound takes milliseconds.
  const std::function<void(int, std::size_t)> expandOne = [&](int thread, std::size_t index) {
    const std::size_t place = batch.fresh[index];
    ExpandedChild<Record>& out = batch.expanded[place];
    out.thread = thread;
    workers[thread]->expandInBatch<Records>(batch.designs[place / kCodes],
                                            static_cast<int>(place % kCodes), floor, walk, out);
    if (lookAhead && out.open && !out.failure) ahead->offer(batch.number, place, out.child);
  };
  const std::function<bool(int)> workAhead = [&](int thread) { return ahead->workAhead(thread); };
  // The crew leaves the idle work before `ahead` goes, also on failure.
  struct IdleWorkSet {
    ExpansionCrew& crew;
    ~IdleWorkSet() { crew.setIdleWork(nullptr); }
  } idleWorkSet{crew};
  if (lookAhead) crew.setIdleWork(&workAhead);
  shareOut_ = ShareOut{};
  while (heap.count() > 0 && heap.count() < subtreeRoots_ && !stopRequested()) {
    takeBatch<Records>(heap, batch);
    floor = best();
    const std::size_t places = batch.designs.size() * kCodes;
    std::fill_n(batch.outOf.begin(), places, nullptr);
    takenOpen.clear();
    if (lookAhead) {
      ahead->beginBatch(batch.number, floor, batch.origins,
                        [&](std::size_t place, ExpandedChild<Record>& out, bool pending) {
                          batch.outOf[place] = &out;
                          if (!pending && out.open && !out.failure) takenOpen.push_back(place);
                        });
      for (std::size_t place : takenOpen) ahead->offer(batch.number, place, batch.outOf[place]->child);
    }
    batch.fresh.clear();
    for (std::size_t place = 0; place < places; ++place) {
      if (batch.outOf[place]) continue;
      batch.outOf[place] = &batch.expanded[place];
      batch.fresh.push_back(place);
    }
    crew.expandBatch(batch.fresh.size(), expandOne);
    if (lookAhead) ahead->awaitPending(0);
    // Tests' small batches end before a helper is idle: every offered child is evaluated ahead.
    if (lookAhead && dealtBatches_) while (ahead->workAhead(0)) continue;
    const bool shared = mergeBatch<Records>(batch, heap, *workers[0]);
    if (places > 0) walk = batch.outOf[places - 1]->walk;
    if (tieLimit_ > 0 && results_.designs().size() > tieLimit_) stopForMemory();
    ++shareOut_.batches;
    shareOut_.batchedDesigns += static_cast<long long>(batch.designs.size());
    shareOut_.sharedBatches += shared;
    progress_.publish(ticker_->steps(), heap.count(), best());
  }
  std::vector<Record> roots;
  roots.reserve(heap.count());
  while (heap.count() > 0) roots.push_back(heap.pop().record);
  return roots;
}

// Each design remembers whether it was a child of the batch before, whose threads may have
// evaluated its children ahead.
template <typename Records>
void SimultaneousSearch::takeBatch(DesignHeap<BatchChild<typename Records::Record>>& heap,
                                   FirstPhaseBatch<typename Records::Record>& batch) const {
  batch.designs.clear();
  batch.origins.clear();
  while (batch.designs.size() < static_cast<std::size_t>(expansionBatch_) && heap.count() > 0) {
    BatchChild<typename Records::Record> child = heap.pop();
    if (!canReach(child.bound, best())) continue;
    batch.designs.push_back(std::move(child.record));
    batch.origins.push_back(child.batch == batch.number ? child.place : kNoChildPlace);
  }
  ++batch.number;
}

template <typename Records>
bool SimultaneousSearch::mergeBatch(FirstPhaseBatch<typename Records::Record>& batch,
                                    DesignHeap<BatchChild<typename Records::Record>>& heap,
                                    SimultaneousSearch& counter) {
  const std::size_t places = batch.designs.size() * kSearchedCodes;
  bool shared = false;
  for (std::size_t place = 0; place < places; ++place) {
    ExpandedChild<typename Records::Record>& out = *batch.outOf[place];
    if (out.failure) std::rethrow_exception(out.failure);
    if (&out != &batch.expanded[place]) {
      counter.countStepsAhead(out.steps, out.completed);
      ++shareOut_.childrenTakenAhead;
    }
    if (out.open) {
      const double bound = out.child.bound;
      heap.push({std::move(out.child), bound, batch.number, place});
    }
    for (const PanelDesign& design : out.found) results_.enter(design, design.value);
    shared |= out.thread != batch.outOf[0]->thread;
  }
  return shared;
}

template <typename Records>
void SimultaneousSearch::expandInBatch(const typename Records::Record& record, int code,
                                       double floor, const TradeOffBound::WalkState& walk,
                                       ExpandedChild<typename Records::Record>& out) {
  out.open = false;
  out.found.clear();
  out.failure = nullptr;
  out.steps = 0;
  out.completed = 0;
  try {
    results_.restart(floor);
    if (!tradeOff_.empty()) tradeOff_.resumeWalk(walk);
    Records::unpack(record, batchParent_);
    bound_.setJointBoundTerms(batchParent_);
    for (ExtraBound& extra : extraBounds_) extra.joint.setJointBoundTerms(batchParent_);
    batchChild_ = batchParent_;
    out.open = openChild(batchParent_, code, batchChild_);
    if (out.open) out.child = Records::pack(batchChild_);
    out.found.insert(out.found.end(), std::make_move_iterator(results_.designs().begin()),
                     std::make_move_iterator(results_.designs().end()));
    out.walk = tradeOff_.walkState();
  } catch (...) {
    out.failure = std::current_exception();
  }
}

template <typename Records, typename Unit>
void SimultaneousSearch::expandAhead(Unit& unit) {
  const long long steps = totalSteps_;
  const long long completed = completedCount_;
  countingAhead_ = true;
  expandInBatch<Records>(unit.parent, unit.code, unit.floor, TradeOffBound::WalkState{}, unit.out);
  countingAhead_ = false;
  unit.out.steps = totalSteps_ - steps;
  unit.out.completed = completedCount_ - completed;
  totalSteps_ = steps;
  completedCount_ = completed;
}

void SimultaneousSearch::countStepsAhead(long long steps, long long completed) {
  completedCount_ += completed;
  countSteps(steps);
}

void SimultaneousSearch::adoptRunOf(const SimultaneousSearch& master, StepTicker* ticker) {
  skinPlyTotal_ = master.skinPlyTotal_;
  stiffenerPlyTotal_ = master.stiffenerPlyTotal_;
  skinPositions_ = master.skinPositions_;
  stiffenerPositions_ = master.stiffenerPositions_;
  plyOrder_ = master.plyOrder_;
  batchParent_.design.skin.setPlyTotal(skinPlyTotal_);
  batchParent_.design.stiffener.setPlyTotal(stiffenerPlyTotal_);
  batchChild_ = batchParent_;
  tightBound_ = master.tightBound_;
  for (std::size_t k = 0; k < extraBounds_.size(); ++k) extraBounds_[k].tight = master.extraBounds_[k].tight;
  tradeOff_.adoptTablesOf(master.tradeOff_);
  setSharedModes();
  takeEdgesAlongTheEdges();
  results_.restart(master.best());
  tieLimit_ = master.tieLimit_;
  stepLimit_ = master.stepLimit_;
  ticker_ = ticker;
  readStopRequestOf(master);
}

// Each subtree from the best value of the split, so that what a thread finds does not depend on
// what the others found before. Over its share of the memory budget a thread takes its best
// open design's subtree depth-first: the same designs are found, the store stops growing.
template <typename Records>
void SimultaneousSearch::searchSubtrees(const std::vector<typename Records::Record>& roots,
                                        std::size_t first, std::atomic<std::size_t>& next,
                                        std::int64_t budget, double start,
                                        SearchProgress* watched) {
  using Record = typename Records::Record;
  DesignHeap<Record> heap(skinPositions_ + stiffenerPositions_);
  const std::int64_t recordBytes = static_cast<std::int64_t>(sizeof(Record)) + kHeapEntryBytes;
  OpenDesign parent;
  parent.design.skin.setPlyTotal(skinPlyTotal_);
  parent.design.stiffener.setPlyTotal(stiffenerPlyTotal_);
  for (std::size_t i = first; i < roots.size() && !stopRequested(); i = next++) {
    results_.restart(start);
    if (!tradeOff_.empty()) tradeOff_.restartWalk();
    heap.push(Record(roots[i]));
    while (heap.count() > 0 && !stopRequested()) {
      if (budget > 0 && heap.count() * recordBytes > budget) {
        diveDepthFirst<decltype(heap), Records>(heap, parent);
        continue;
      }
      Records::unpack(heap.pop(), parent);
      if (canReach(parent.bound, best())) expand<decltype(heap), Records>(parent, heap);
      if (watched) watched->publish(ticker_->steps(), heap.count(), best());
    }
    // Moved, not copied: a flat surface ties millions of designs.
    found_.insert(found_.end(), std::make_move_iterator(results_.designs().begin()),
                  std::make_move_iterator(results_.designs().end()));
    if (tieLimit_ > 0 && found_.size() > tieLimit_) stopForMemory();
    ++shareOut_.subtrees;
  }
}

template <typename Heap, typename Records>
void SimultaneousSearch::diveDepthFirst(Heap& heap, OpenDesign& parent) {
  using Stack = RecordStack<typename Records::Record>;
  Stack stack;
  ++shareOut_.depthFirstDives;
  stack.push(heap.pop());
  while (!stack.items.empty() && !stopRequested()) {
    Records::unpack(stack.pop(), parent);
    if (canReach(parent.bound, best())) expand<Stack, Records>(parent, stack);
  }
}

// The designs within the tie tolerance of the largest value any thread found, in the order of
// their codes; the steps of all threads.
void SimultaneousSearch::mergeWorkers(const Workers& workers) {
  std::vector<PanelDesign> found = results_.designs();
  shareOut_ = ShareOut{};
  for (const auto& worker : workers) {
    shareOut_.subtrees += worker->shareOut_.subtrees;
    shareOut_.depthFirstDives += worker->shareOut_.depthFirstDives;
    if (worker->shareOut_.subtrees > 0) ++shareOut_.busyThreads;
    found.insert(found.end(), std::make_move_iterator(worker->found_.begin()),
                 std::make_move_iterator(worker->found_.end()));
    totalSteps_ += worker->totalSteps_;
    completedCount_ += worker->completedCount_;
  }
  if (found.empty()) return;
  double top = found.front().value;
  for (const PanelDesign& design : found) top = std::max(top, design.value);
  // A stopped search ends within a tenth of a second, also when millions of designs tie (a
  // surface that does not read a laminate): its designs stay in the order they were found.
  if (!stopRequested()) std::sort(found.begin(), found.end(), codesBefore);
  // The K best from the floor every subtree started from.
  results_.restart(results_.top() > 0 ? best() : top);
  for (const PanelDesign& design : found) results_.enter(design, design.value);
}

}  // namespace kelm
