#include "iter/branch_and_bound_search.h"

#include <cmath>
#include <iostream>

#include "laminate/design_rules.h"
#include "base/fatal.h"
#include "iter/first_allowed_sequence.h"

namespace kelm {

namespace {
constexpr int kSearchedCodes = 3;
}

BranchAndBoundSearch::BranchAndBoundSearch(const ResponseSurface& model,
                                           const LaminateRules& skinRules,
                                           const LaminateRules& stiffenerRules)
    : AlternatingSearch(model, skinRules, stiffenerRules) {
  bound_.setBoundModel(model);
}

// The first stiffener the rules allow, found depth-first.
StackingSequence BranchAndBoundSearch::initialStiffener(const StackingSequence& emptyStiffener) {
  return firstAllowedSequence(emptyStiffener, stiffenerRules_, false);
}

void BranchAndBoundSearch::prepareTurn(const PanelDesign& candidate) {
  bound_.setBoundTerms(candidate);
  activePositions_ = candidate.skinActive ? skinPositions_ : stiffenerPositions_;
  design_ = candidate;
}

void BranchAndBoundSearch::searchTurn(const PanelDesign& candidate) {
  const int n = activePositions_;
  BranchHeap heap(n);
  BranchStack stack(n);
  stack.push(candidate.active());
  if (diveToLastPlies(stack)) {
    while (stack.count() > 0) heap.push(stack.pop());
  }
  while (heap.count() > 0) {
    StackingSequence branch = heap.pop();
    if (heap.count() >= kHeapSwitchCount) {
      stack.push(std::move(branch));
      exhaustDepthFirst(stack);
    } else {
      expand(branch, [&](StackingSequence&& child) { heap.push(std::move(child)); });
    }
  }
}

// Depth-first until some branch reaches the last two positions, so the best-first phase starts
// with a best value to prune against.
bool BranchAndBoundSearch::diveToLastPlies(BranchStack& stack) {
  bool reached = false;
  while (!reached && stack.count() > 0) {
    const StackingSequence branch = stack.pop();
    reached = expand(branch, [&](StackingSequence&& child) { stack.push(std::move(child)); });
  }
  return reached;
}

void BranchAndBoundSearch::exhaustDepthFirst(BranchStack& stack) {
  while (stack.count() > 0) {
    const StackingSequence branch = stack.pop();
    expand(branch, [&](StackingSequence&& child) { stack.push(std::move(child)); });
  }
}

template <typename Keep>
bool BranchAndBoundSearch::expand(const StackingSequence& branch, Keep&& keep) {
  const int position = branch.setCount() + 1;
  bool reachedLastTwo = false;
  for (int code = 0; code < kSearchedCodes; ++code) {
    StackingSequence child = branch;
    child.setTheta(position, code);
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
bool BranchAndBoundSearch::evaluateChild(StackingSequence& child) {
  const int n = activePositions_;
  if (!checkPartial(child, activeRules(design_.skinActive))) return false;
  countStep(1);
  if (child.setCount() == n - 2) return completeLastTwo(child);
  if (n <= 2) {
    completeSmall(child);
    return false;
  }
  StackingSequence& active = design_.active();
  active = child;
  child.bound = EvaluateBranch_iter(design_, bound_);
  // A bound that is not a number is kept.
  return !(child.bound < best_ - kTieTolerance);
}

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
  const double v = objective_.objectivefunc(design_);
  design_.value = design_.designBound = v;
  record(design_);
}

void BranchAndBoundSearch::writeStepLine() const {
  std::cout << "total step " << totalSteps() << "(+" << leafCount_ << ") done." << '\n';
}

}  // namespace kelm
