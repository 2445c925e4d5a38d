#include "iter/branch_and_bound_search.h"

#include <cmath>
#include <iostream>
#include <limits>

#include "laminate/design_rules.h"
#include "base/fatal.h"
#include "base/stop_request.h"
#include "iter/first_allowed_sequence.h"
#include "search/extra_surfaces.h"

namespace kelm {

BranchAndBoundSearch::BranchAndBoundSearch(const ResponseSurface& model,
                                           const LaminateRules& skinRules,
                                           const LaminateRules& stiffenerRules, bool tight)
    : AlternatingSearch(model, skinRules, stiffenerRules), tight_(tight) {
  bound_.setBoundModel(model);
  if (tight_) countBound_.setSurface(model);
}

void BranchAndBoundSearch::setExtraSurfaces(const ExtraSurfaces& extras) {
  AlternatingSearch::setExtraSurfaces(extras);
  extraBounds_.clear();
  auto add = [&](const ResponseSurface& surface, bool required, double limit) {
    extraBounds_.emplace_back();
    extraBounds_.back().bound.setBoundModel(surface);
    if (tight_) extraBounds_.back().count.setSurface(surface);
    extraBounds_.back().required = required;
    extraBounds_.back().limit = limit;
  };
  // The means first: they cut most where the modes trade off.
  boundingMeans_ = boundingMeans(model_, extras);
  for (const ResponseSurface& mean : boundingMeans_) add(mean, false, 0.0);
  for (const ResponseSurface* surface : extras.minOf) add(*surface, false, 0.0);
  for (const SurfaceRequirement& requirement : extras.required)
    add(*requirement.surface, true, requirement.limit);
}

void BranchAndBoundSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  if (tight_) {
    // The tables of long laminates take a second or more: a stop request ends their set-up,
    // and the search then stops at its first step as always.
    const StopRequest* stop = &stopRequestRead();
    countBound_.setLaminates(skinPlyTotal, stiffenerPlyTotal, skinRules_, stiffenerRules_, stop);
    for (ExtraBound& extra : extraBounds_)
      extra.count.setLaminates(skinPlyTotal, stiffenerPlyTotal, skinRules_, stiffenerRules_, stop);
    if (stopRequested()) return;  // the tables are incomplete: no turn may read them
  }
  AlternatingSearch::run(skinPlyTotal, stiffenerPlyTotal);
}

std::unique_ptr<AlternatingSearch> BranchAndBoundSearch::turnWorker() const {
  if (!tight_) return nullptr;
  auto worker = std::make_unique<BranchAndBoundSearch>(model_, skinRules_, stiffenerRules_, true);
  worker->countBound_ = countBound_;
  if (!extras_.empty()) {
    worker->setExtraSurfaces(extras_);
    for (std::size_t k = 0; k < extraBounds_.size(); ++k)
      worker->extraBounds_[k].count = extraBounds_[k].count;
  }
  return worker;
}

// The first stiffener the rules allow, found depth-first.
StackingSequence BranchAndBoundSearch::initialStiffener(const StackingSequence& emptyStiffener) {
  return firstAllowedSequence(emptyStiffener, stiffenerRules_, false);
}

void BranchAndBoundSearch::prepareTurn(const ActiveDesign& candidate) {
  bound_.setBoundTerms(candidate);
  if (tight_) countBound_.setTurn(candidate);
  for (ExtraBound& extra : extraBounds_) {
    extra.bound.setBoundTerms(candidate);
    if (tight_) extra.count.setTurn(candidate);
  }
  activePositions_ = candidate.skinActive ? skinPositions_ : stiffenerPositions_;
  design_ = candidate;
}

void BranchAndBoundSearch::searchTurn(const ActiveDesign& candidate) {
  const int n = activePositions_;
  BranchHeap& heap = heap_;
  heap.reset(n);
  BranchStack stack(n);
  // Nothing is known of the empty laminate yet: it is expanded whatever the best value.
  stack.push(Branch{candidate.active(), std::numeric_limits<double>::infinity()});
  if (diveToLastPlies(stack)) {
    while (stack.count() > 0) heap.push(stack.pop());
  }
  while (heap.count() > 0 && !stopRequested()) {
    Branch branch = heap.pop();
    if (!worthExpanding(branch)) {
      // the best value has risen past its key since it was stored
    } else if (heap.count() >= kHeapSwitchCount) {
      stack.push(std::move(branch));
      exhaustDepthFirst(stack);
    } else {
      expand(branch, [&](Branch&& child) { heap.push(std::move(child)); });
    }
    publishProgress(heap.count());
  }
}

// Depth-first until some branch reaches the last two positions, so the best-first phase starts
// with a best value to prune against.
bool BranchAndBoundSearch::diveToLastPlies(BranchStack& stack) {
  bool reached = false;
  while (!reached && stack.count() > 0 && !stopRequested()) {
    const Branch branch = stack.pop();
    if (!worthExpanding(branch)) continue;
    reached = expand(branch, [&](Branch&& child) { stack.push(std::move(child)); });
  }
  return reached;
}

void BranchAndBoundSearch::exhaustDepthFirst(BranchStack& stack) {
  while (stack.count() > 0 && !stopRequested()) {
    const Branch branch = stack.pop();
    if (worthExpanding(branch))
      expand(branch, [&](Branch&& child) { stack.push(std::move(child)); });
    publishProgress(stack.count());
  }
}

template <typename Keep>
bool BranchAndBoundSearch::expand(const Branch& branch, Keep&& keep) {
  const int position = branch.sequence.setCount() + 1;
  bool reachedLastTwo = false;
  for (int code = 0; code < kSearchedCodes; ++code) {
    Branch child{branch.sequence};
    child.sequence.setTheta(position, code);
    if (!evaluateChild(child)) continue;
    if (position == activePositions_ - 2)
      reachedLastTwo = true;
    else
      keep(std::move(child));
  }
  return reachedLastTwo;
}

// Whether the child stays open: it passes the rules and its bound can still reach the best
// value. Children two positions from complete (and all children of laminates of one or two
// positions) are completed and recorded here instead.
bool BranchAndBoundSearch::evaluateChild(Branch& child) {
  const int n = activePositions_;
  const StackingSequence& sequence = child.sequence;
  if (!checkPartial(sequence, activeRules(design_.skinActive))) return false;
  countStep(1);
  if (sequence.setCount() == n - 2) {
    if (tight_ && !lastTwoCanReach(sequence)) return false;
    if (!extraBounds_.empty()) {
      design_.active() = sequence;
      if (!extrasAllow(child)) return false;
    }
    return completeLastTwo(sequence);
  }
  if (n <= 2) {
    completeSmall(sequence);
    return false;
  }
  design_.active() = sequence;
  child.bound = EvaluateBranch_iter(design_, bound_);
  if (tight_) sharpenBound(child);
  if (!canReach(child.bound, best())) return false;
  return extraBounds_.empty() || extrasAllow(child);
}

// Every completion's smallest objective value is at most each objective surface's bound, and
// a required surface's bound below its limit leaves no allowed completion.
bool BranchAndBoundSearch::extrasAllow(Branch& child) {
  for (ExtraBound& extra : extraBounds_) {
    const double floor = extra.required ? extra.limit : best();
    double bound = EvaluateBranch_iter(design_, extra.bound);
    if (tight_ && canReach(bound, floor))
      bound = std::min(bound, extra.count.evaluate(design_, floor - kTieTolerance));
    if (!canReach(bound, floor)) return false;
    if (!extra.required) child.bound = std::min(child.bound, bound);
  }
  return true;
}

// The default bound is computed first and prunes alone where it can; the count bound, dearer,
// is asked only for the children it keeps.
void BranchAndBoundSearch::sharpenBound(Branch& child) {
  if (!canReach(child.bound, best())) return;
  child.bound = std::min(child.bound, countBound_.evaluate(design_, best() - kTieTolerance));
}

// Two open positions leave at most nine completions, each checked against the complete rules
// and valued; the count bound of the few counts they can hold is cheaper and cuts most of them.
bool BranchAndBoundSearch::lastTwoCanReach(const StackingSequence& child) {
  design_.active() = child;
  return canReach(countBound_.evaluate(design_, best() - kTieTolerance), best());
}

// The default turns expand every branch they stored (their step counts are part of the
// report); the tight turns, and every turn under further failure modes, drop a branch the
// best value has passed since it was stored.
bool BranchAndBoundSearch::worthExpanding(const Branch& branch) const {
  return (!tight_ && extraBounds_.empty()) || canReach(branch.bound, best());
}

// The child was counted as one step already: its nine completions add eight, and all nine
// count as leaves, whichever of them the rules let through.
bool BranchAndBoundSearch::completeLastTwo(const StackingSequence& child) {
  const int n = activePositions_;
  countStep(8);
  leafCount_ += 9;
  bool found = false;
  for (int k1 = 0; k1 < kSearchedCodes; ++k1) {
    for (int k2 = 0; k2 < kSearchedCodes; ++k2) {
      StackingSequence complete = child;
      complete.setTheta(n - 1, k1);
      complete.setTheta(n, k2);
      if (!checkComplete(complete, activeRules(design_.skinActive))) continue;
      recordCompletion(complete);
      found = true;
    }
  }
  return found;
}

// A laminate of one position is complete as it stands (no complete-sequence check); one of two
// positions tries its last position.
void BranchAndBoundSearch::completeSmall(const StackingSequence& child) {
  const int n = activePositions_;
  if (n == 1) {
    recordCompletion(child);
    return;
  }
  for (int code = 0; code < kSearchedCodes; ++code) {
    StackingSequence complete = child;
    complete.setTheta(n, code);
    if (checkComplete(complete, activeRules(design_.skinActive))) recordCompletion(complete);
  }
}

void BranchAndBoundSearch::recordCompletion(const StackingSequence& complete) {
  design_.active() = complete;
  if (valueLeaf(design_)) record(design_.design);
}

void BranchAndBoundSearch::writeStepLine() const {
  std::cout << "total step " << totalSteps() << "(+" << leafCount_ << ") done." << '\n';
}

}  // namespace kelm
