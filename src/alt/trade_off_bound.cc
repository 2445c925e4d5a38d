#include "alt/trade_off_bound.h"

#include <algorithm>
#include <limits>

#include "search/tie_rule.h"

namespace kelm {

namespace {
// Moves of one walk: beyond a few, the design is rarely cut and the walk costs more than the
// subtree it would save.
constexpr int kMovesPerWalk = 3;
// The walks inside the tree before their share of cuts is judged, the share (one in
// kCutShare) below which they are mostly skipped, and how often one is tried then.
constexpr long long kTrialWalks = 200;
constexpr long long kCutShare = 3;
constexpr long long kRetryEvery = 16;
// The thickest laminate whose combinations get the fine grid: its tables take a few megabytes
// and milliseconds each; at 48 plies the grid's fourfold tables cost more set-up than they save.
constexpr int kFineGridPlies = 32;
// The weight the tuned combination's neighbours move between two surfaces.
constexpr double kTunedShift = 0.05;
}  // namespace

void TradeOffBound::setGrid(const ResponseSurface& model, const ExtraSurfaces& extras) {
  model_ = std::make_shared<const ResponseSurface>(model);
  extras_ = extras;
  grid_.reset();
  bounds_.clear();
  current_ = 0;
}

void TradeOffBound::setModel(int skinPlyTotal, int stiffenerPlyTotal,
                             const LaminateRules& skinRules, const LaminateRules& stiffenerRules) {
  if (!model_) return;
  const bool fine = std::max(skinPlyTotal, stiffenerPlyTotal) <= kFineGridPlies;
  grid_ = std::make_shared<const CombinationGrid>(combinationGrid(*model_, extras_, fine));
  bounds_.assign(grid_->surfaces.size(), CountCoupledBound());
  walked_.reserve(bounds_.size() * (kMovesPerWalk + 1) + 1);
  restartWalk();
  for (std::size_t i = 0; i < bounds_.size(); ++i)
    bounds_[i].setModel(grid_->surfaces[i], skinPlyTotal, stiffenerPlyTotal, skinRules,
                        stiffenerRules, nullptr, 0);
  tuned_.clear();
}

void TradeOffBound::setTuned(const std::vector<double>& weights, int skinPlyTotal,
                             int stiffenerPlyTotal, const LaminateRules& skinRules,
                             const LaminateRules& stiffenerRules) {
  tuned_.clear();
  if (!model_ || weights.empty()) return;
  std::vector<std::vector<double>> near = {weights};
  for (std::size_t i = 0; i < weights.size(); ++i)
    for (std::size_t j = 0; j < weights.size(); ++j) {
      if (i == j || weights[j] <= 0.0) continue;
      std::vector<double> moved = weights;
      const double shift = std::min(weights[j], kTunedShift);
      moved[i] += shift;
      moved[j] -= shift;
      near.push_back(moved);
    }
  tuned_.resize(near.size());
  walked_.reserve(tuned_.size() + bounds_.size() * (kMovesPerWalk + 1) + 1);
  for (std::size_t n = 0; n < near.size(); ++n)
    tuned_[n].setModel(weightedCombination(*model_, extras_, near[n]), skinPlyTotal,
                       stiffenerPlyTotal, skinRules, stiffenerRules, nullptr, 0);
}

const std::vector<ResponseSurface>& TradeOffBound::combinations() const {
  static const std::vector<ResponseSurface> none;
  return grid_ ? grid_->surfaces : none;
}

void TradeOffBound::adoptTablesOf(const TradeOffBound& master) {
  grid_ = master.grid_;
  bounds_ = master.bounds_;
  tuned_ = master.tuned_;
  walked_.clear();
  walked_.reserve(master.walked_.capacity());
  restartWalk();
}

double TradeOffBound::evaluate(const PanelDesign& design, double best, bool thorough) {
  // Inside the tree the walk must pay for itself: where it has rarely cut (the modes do not
  // trade off there, or the subtrees are open whatever the weights), only one design in
  // kRetryEvery tries it, so that a change of region is noticed.
  if (!thorough && walks_ >= kTrialWalks && kCutShare * cuts_ < walks_ &&
      ++skipped_ % kRetryEvery != 0) {
    walked_.clear();
    return std::numeric_limits<double>::infinity();
  }
  const double lowest = walk(design, best, thorough ? static_cast<int>(bounds_.size()) : kMovesPerWalk);
  if (!thorough) {
    ++walks_;
    cuts_ += !canReach(lowest, best);
  }
  return lowest;
}

double TradeOffBound::walk(const PanelDesign& design, double best, int moves) {
  walked_.clear();
  double lowest = std::numeric_limits<double>::infinity();
  auto boundOf = [&](CountCoupledBound& bound) {
    if (std::find(walked_.begin(), walked_.end(), &bound) == walked_.end())
      walked_.push_back(&bound);
    return bound.evaluate(design, best);
  };
  for (CountCoupledBound& tuned : tuned_) {
    lowest = std::min(lowest, boundOf(tuned));
    if (!canReach(lowest, best)) return lowest;
  }
  lowest = std::min(lowest, boundOf(bounds_[current_]));
  for (int move = 0; move < moves && canReach(lowest, best); ++move) {
    int lower = -1;
    for (const int n : grid_->neighbours[current_]) {
      const double bound = boundOf(bounds_[n]);
      if (bound < lowest) lowest = bound, lower = n;
      if (!canReach(lowest, best)) break;
    }
    if (lower < 0) break;
    current_ = lower;
  }
  return lowest;
}

void TradeOffBound::restartWalk() {
  current_ = grid_ ? grid_->equalMean : 0;
  walks_ = cuts_ = skipped_ = 0;
}

}  // namespace kelm
