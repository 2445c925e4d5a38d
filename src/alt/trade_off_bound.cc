#include "alt/trade_off_bound.h"

#include "search/tie_rule.h"

namespace kelm {

namespace {
// Moves of one walk: beyond a few, the design is rarely cut and the walk costs more than the
// subtree it would save.
constexpr int kMovesPerWalk = 3;
}  // namespace

void TradeOffBound::setGrid(const ResponseSurface& model, const ExtraSurfaces& extras) {
  grid_ = std::make_shared<const CombinationGrid>(combinationGrid(model, extras));
  bounds_.clear();
  current_ = grid_->equalMean;
}

void TradeOffBound::setModel(int skinPlyTotal, int stiffenerPlyTotal,
                             const LaminateRules& skinRules, const LaminateRules& stiffenerRules) {
  if (!grid_) return;
  bounds_.assign(grid_->surfaces.size(), CountCoupledBound());
  for (std::size_t i = 0; i < bounds_.size(); ++i)
    bounds_[i].setModel(grid_->surfaces[i], skinPlyTotal, stiffenerPlyTotal, skinRules,
                        stiffenerRules);
  current_ = grid_->equalMean;
}

void TradeOffBound::adoptTablesOf(const TradeOffBound& master) {
  grid_ = master.grid_;
  bounds_ = master.bounds_;
  current_ = master.current_;
}

double TradeOffBound::evaluate(const PanelDesign& design, double best, bool thorough) {
  double lowest = bounds_[current_].evaluate(design, best);
  const int moves = thorough ? static_cast<int>(bounds_.size()) : kMovesPerWalk;
  for (int move = 0; move < moves && canReach(lowest, best); ++move) {
    int lower = -1;
    for (const int n : grid_->neighbours[current_]) {
      const double bound = bounds_[n].evaluate(design, best);
      if (bound < lowest) lowest = bound, lower = n;
      if (!canReach(lowest, best)) break;
    }
    if (lower < 0) break;
    current_ = lower;
  }
  return lowest;
}

}  // namespace kelm
