#include "alt/simultaneous_search.h"

#include <cmath>
#include <iostream>

#include "laminate/design_rules.h"
#include "search/random_draws.h"
#include "base/fatal.h"

namespace kelm {

namespace {
constexpr int kSearchedCodes = 3;
constexpr int kProgressInterval = 1000;
constexpr int kFirstPhaseDesigns = 5;
constexpr double kTieTolerance = 1e-13;
constexpr int kCompletionSteps = 80;     // 81 completed designs count as one step each, less
constexpr int kCompletionDesigns = 81;   // the child evaluation already counted
constexpr int kNoExclusion = -1;

// A random code among 0, 1, 2, or among the two left when `excluded` is one of them.
int drawCode(CRand& random, int excluded) {
  if (excluded == kNoExclusion) return random.next() % 3;
  const int r = random.next() % 2;
  return r >= excluded ? r + 1 : r;
}

void drawLaminate(StackingSequence& sequence, CRand& random, int excluded) {
  for (int position = 1; position <= sequence.plyCount(); ++position)
    sequence.resetTheta(position, drawCode(random, excluded));
}

}  // namespace

double plyWeight(int n, int j) {
  return std::pow(1.0 - static_cast<double>(j - 1) / n, 4.0) -
         std::pow(1.0 - static_cast<double>(j) / n, 4.0);
}

// Index j holds plyWeight(n, j) for j = 1..n + 2 (a laminate's next-but-one position may lie
// beyond its last).
static std::vector<double> plyWeights(int n) {
  std::vector<double> weights(n + 3);
  for (int j = 1; j <= n + 2; ++j) weights[j] = plyWeight(n, j);
  return weights;
}

bool extendSkinNext(int ns, int nt, int skinSet, int stiffenerSet, bool skinByWeight) {
  if (ns <= 2 || nt <= 2) return skinByWeight;
  if (skinByWeight && skinSet >= ns - 2 && stiffenerSet < nt - 2) return false;
  if (!skinByWeight && stiffenerSet >= nt - 2 && skinSet < ns - 2) return true;
  return skinByWeight;
}

SimultaneousSearch::SimultaneousSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                       const LaminateRules& stiffenerRules, std::uint32_t seed)
    : AlternativeSearch(model, skinRules, stiffenerRules), seed_(seed) {
  bound_.setJointBoundModel(model);
}

void SimultaneousSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  skinPlyTotal_ = skinPlyTotal;
  stiffenerPlyTotal_ = stiffenerPlyTotal;
  skinPositions_ = halfPositions(skinPlyTotal);
  stiffenerPositions_ = halfPositions(stiffenerPlyTotal);
  skinWeights_ = plyWeights(skinPositions_);
  stiffenerWeights_ = plyWeights(stiffenerPositions_);
  if (!skinRules_.plyNumbersFixed && !stiffenerRules_.plyNumbersFixed) randomStart();
  treeSearch();
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

bool SimultaneousSearch::drawFeasible(PanelDesign& design, CRand& random, int skinExcluded,
                                      int stiffenerExcluded) {
  const int draws = randomDrawLimit(skinPositions_ + stiffenerPositions_);
  for (int draw = 0; draw < draws; ++draw) {
    drawLaminate(design.skin, random, skinExcluded);
    drawLaminate(design.stiffener, random, stiffenerExcluded);
    if (!checkComplete(design.skin, skinRules_) || !checkComplete(design.stiffener, stiffenerRules_))
      continue;
    const double v = fullObjective(objective_, design);
    if (v > best_) best_ = v;
    return true;
  }
  return false;
}

void SimultaneousSearch::treeSearch() {
  const int ns = skinPositions_;
  const int nt = stiffenerPositions_;
  DesignHeap heap(ns + nt);
  PanelDesign root;
  root.skin.setPlyTotal(skinPlyTotal_);
  root.stiffener.setPlyTotal(stiffenerPlyTotal_);
  root.skinActive = extendSkinNext(ns, nt, 0, 0, ns < nt);
  heap.push(std::move(root));
  while (heap.count() > 0) {
    const PanelDesign parent = heap.pop();
    expand(parent, heap);
  }
}

// Sets the parent's next position of its active laminate to each code; children that stay
// open learn which laminate their own children extend.
void SimultaneousSearch::expand(const PanelDesign& parent, DesignHeap& heap) {
  const int ns = skinPositions_;
  const int nt = stiffenerPositions_;
  bound_.setJointBoundTerms(parent);
  const int ks = parent.skin.setCount();
  const int kt = parent.stiffener.setCount();
  const bool skinExtended = parent.skinActive;
  const std::vector<double>& ws = skinWeights_;
  const std::vector<double>& wt = stiffenerWeights_;
  const bool skinByWeight = skinExtended ? ws[ks + 2] >= wt[kt + 1] : ws[ks + 1] >= wt[kt + 2];
  for (int code = 0; code < kSearchedCodes; ++code) {
    PanelDesign child = parent;
    if (skinExtended)
      child.skin.setTheta(ks + 1, code);
    else
      child.stiffener.setTheta(kt + 1, code);
    if (!evaluateChild(child)) continue;
    const int otherSet = skinExtended ? child.stiffener.setCount() : child.skin.setCount();
    const int otherLastTwo = skinExtended ? nt - 2 : ns - 2;
    const bool next = otherSet == otherLastTwo ? skinExtended : skinByWeight;
    child.skinActive =
        extendSkinNext(ns, nt, child.skin.setCount(), child.stiffener.setCount(), next);
    heap.push(std::move(child));
  }
}

bool SimultaneousSearch::evaluateChild(PanelDesign& child) {
  const int ns = skinPositions_;
  const int nt = stiffenerPositions_;
  if (!checkPartial(child.skin, skinRules_) || !checkPartial(child.stiffener, stiffenerRules_))
    return false;
  ++totalSteps_;
  if (totalSteps_ % kProgressInterval == 0) std::cerr << "step " << totalSteps_ << " ...\r";
  if (child.skin.setCount() == ns - 2 && child.stiffener.setCount() == nt - 2) {
    completeLastPlies(child);
    return false;
  }
  if (ns <= 2 || nt <= 2) fatal(Stream::Err, "ply number must be greater than 4!", false);
  child.designBound = bound_.evaluateJointBound(child);
  // A bound that is not a number is kept.
  return !(child.designBound < best_ - kTieTolerance);
}

// Both laminates lack their last two positions: all 81 completions are valued directly.
void SimultaneousSearch::completeLastPlies(const PanelDesign& child) {
  const int ns = skinPositions_;
  const int nt = stiffenerPositions_;
  totalSteps_ += kCompletionSteps;
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

void SimultaneousSearch::writeStepSuffix() const {
  std::cout << "(-" << completedCount_ << ") done." << '\n';
}

}  // namespace kelm
