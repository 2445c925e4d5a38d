#include "blend/lightest_blend.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <tuple>

#include "alt/surface_ceiling.h"
#include "blend/table_search.h"

namespace kelm {

namespace {

// Whether a surface's ceiling over every design of the total the rules allow stays below its
// limit, for some required surface.
bool ceilingRulesOut(const BlendPanel& panel, const PanelTotal& total) {
  LaminateRules none;
  none.balance = false;
  const LaminateRules rules = panel.rulesFor(total.plies);
  for (const ModeSurface& mode : total.surfaces)
    if (mode.required && surfaceCeiling(mode.surface, total.plies, 0, rules, none, mode.limit) < mode.limit)
      return true;
  return false;
}

// A structure of one panel with no neighbours.
BlendedStructure panelAlone(const BlendedStructure& structure, int panel) {
  BlendedStructure alone;
  alone.panels.push_back(structure.panels[panel]);
  alone.blending = structure.blending;
  return alone;
}

// Weights summed from other totals can differ in the last bits where they are equal in fact.
bool heavier(double weight, double lightest) { return weight > lightest + 1e-12 * std::fabs(lightest) + 1e-12; }

class LightestRun {
 public:
  LightestRun(const BlendedStructure& structure, const StopRequest* stop, const VectorProgress& progress)
      : structure_(structure), stop_(stop), progress_(progress) {}

  LightestBlend run() {
    options_ = panelOptions();
    if (stopped()) return stoppedResult(0.0);
    for (const auto& panel : options_)
      if (panel.empty()) return finished();
    restLightest_.assign(options_.size() + 1, 0.0);
    for (std::size_t p = options_.size(); p-- > 0;)
      restLightest_[p] = restLightest_[p + 1] + structure_.panels[p].plyWeight * options_[p].front();
    certified_ = restLightest_[0];
    pairCovering_ = structure_.blending.covering;
    for (const auto& panel : options_) pairCovering_ = std::min(pairCovering_, halfPositions(panel.front()));
    // First the lightest weight, each vector searched only for a first design, so that the
    // weight is certified as early as it can be; then the largest smallest margin among the
    // vectors of that weight.
    std::vector<std::vector<int>> lightest;
    while (true) {
      std::vector<int> plies;
      double weight = 0.0;
      const bool untried = lightestUntried(plies, weight);
      // A stop while the pairs were searched leaves vectors neither tried nor ruled out.
      if (stopped()) return stoppedResult(certified_);
      if (!untried) break;
      if (result_.found && heavier(weight, result_.weight)) break;
      certified_ = weight;
      tried_.insert(plies);
      if (!tryVector(plies, weight, true)) return stoppedResult(weight);
      if (lastFound_) lightest.push_back(plies);
    }
    for (const std::vector<int>& plies : lightest)
      if (!tryVector(plies, result_.weight, false)) return stoppedResult(result_.weight);
    return finished();
  }

 private:
  bool stopped() const { return stop_ != nullptr && stop_->requested(); }

  LightestBlend finished() {
    result_.status = result_.found ? LightestBlend::Status::Optimal : LightestBlend::Status::Infeasible;
    result_.lowerBound = result_.found ? result_.weight : 0.0;
    return result_;
  }

  // The lightest count vector not searched yet whose pairs of panels can all be blended (a
  // branch and bound over the panels in order: each panel's lightest remaining options bound
  // the rest). Every lighter vector has been searched or holds a pair that cannot be blended.
  bool lightestUntried(std::vector<int>& plies, double& weight) {
    bestWeight_ = std::numeric_limits<double>::infinity();
    current_.assign(options_.size(), 0);
    bestVector_.clear();
    descend(0, 0.0);
    if (bestVector_.empty()) return false;
    plies = bestVector_;
    weight = bestWeight_;
    return true;
  }

  void descend(std::size_t panel, double weight) {
    if (stopped() || !(weight + restLightest_[panel] < bestWeight_)) return;
    if (panel == options_.size()) {
      if (tried_.count(current_)) return;
      bestWeight_ = weight;
      bestVector_ = current_;
      return;
    }
    for (int plies : options_[panel]) {
      current_[panel] = plies;
      // Summed in panel order, as the structure weighs a design.
      const double heavier = weight + structure_.panels[panel].plyWeight * plies;
      if (!(heavier + restLightest_[panel + 1] < bestWeight_)) break;  // options ascend
      if (!fitsEarlierPanels(static_cast<int>(panel))) continue;
      descend(panel + 1, heavier);
    }
  }

  // Every pair of the panel with an earlier one that the table constrains: totals of one class
  // share a ply order, neighbours must place their drops.
  bool fitsEarlierPanels(int q) {
    for (int p = 0; p < q; ++p) {
      const bool adjacent = neighbours(p, q);
      if (halfPositions(current_[p]) != halfPositions(current_[q]) && !adjacent) continue;
      if (!pairHolds(p, current_[p], q, current_[q], adjacent)) return false;
      if (stopped()) return false;
    }
    return true;
  }

  // Each panel's totals that it can meet alone, ascending.
  std::vector<std::vector<int>> panelOptions() {
    std::vector<std::vector<int>> options(structure_.panels.size());
    for (std::size_t p = 0; p < structure_.panels.size() && !stopped(); ++p) {
      const BlendPanel& panel = structure_.panels[p];
      for (const PanelTotal& total : panel.totals) {
        if (stopped()) break;
        if (ceilingRulesOut(panel, total)) {
          result_.ruledOutTotals.push_back({static_cast<int>(p), total.plies, "bound"});
          continue;
        }
        const BlendedStructure single = panelAlone(structure_, static_cast<int>(p));
        TableSearch alone(single, {total.plies});
        alone.stopAtFirstDesign();
        const TableSearchOutcome outcome = alone.run(stop_);
        result_.nodes += outcome.nodes;
        if (outcome.status == TableSearchOutcome::Status::Infeasible)
          result_.ruledOutTotals.push_back({static_cast<int>(p), total.plies, "search"});
        else
          options[p].push_back(total.plies);
      }
    }
    return options;
  }

  // Searches one vector (for a first design only, or for the largest smallest margin above the
  // best so far); false when stopped.
  bool tryVector(const std::vector<int>& plies, double weight, bool firstOnly) {
    if (firstOnly) ++result_.vectorsTried;
    if (progress_) progress_(plies, weight);
    TableSearch search(structure_, plies);
    if (firstOnly) search.stopAtFirstDesign();
    if (!firstOnly) search.beatMargin(result_.margin);
    const TableSearchOutcome outcome = search.run(stop_);
    result_.nodes += outcome.nodes;
    lastFound_ = outcome.found;
    if (outcome.found && (!result_.found || outcome.margin > result_.margin)) {
      result_.found = true;
      result_.design = outcome.design;
      result_.margin = outcome.margin;
      result_.weight = weight;
    }
    if (outcome.status == TableSearchOutcome::Status::Stopped) {
      result_.pending = plies;
      return false;
    }
    if (firstOnly && !outcome.found)
      result_.ruledOut.push_back({plies, weight, "no blended design (" + std::to_string(outcome.nodes) +
                                                     " guide positions searched)"});
    return true;
  }

  bool neighbours(int p, int q) const {
    for (const auto& [a, b] : structure_.adjacent)
      if ((a == p && b == q) || (a == q && b == p)) return true;
    return false;
  }

  // Two panels alone: with equal half counts they share one ply order, otherwise the thinner is cut
  // from the thicker (with the drop limit when they are neighbours). A pair that holds no design
  // rules out every vector that holds it. Each pair of totals is searched once, and given up
  // (nothing proved) after a bounded search. A vector's guide keeps its outer positions up to
  // the covering or its thinnest panel's count; the pair takes the covering cut to the thinnest
  // count any vector can have, so that what it rules out no vector holds.
  bool pairHolds(int p, int tp, int q, int tq, bool adjacent) {
    const std::string conflict = dropsConflict(p, tp, q, tq, adjacent);
    if (!conflict.empty()) return learn(p, tp, q, tq, false, conflict);
    const auto key = std::make_tuple(p, tp, q, tq);
    const auto known = pairs_.find(key);
    if (known != pairs_.end()) return known->second;
    BlendedStructure pair;
    pair.panels = {structure_.panels[p], structure_.panels[q]};
    pair.blending = structure_.blending;
    pair.blending.covering = pairCovering_;
    if (adjacent) pair.adjacent.emplace_back(0, 1);
    TableSearch search(pair, {tp, tq});
    search.stopAtFirstDesign();
    search.limitPositions(kPairPositionLimit);
    const TableSearchOutcome outcome = search.run(stop_);
    result_.nodes += outcome.nodes;
    if (stopped()) return true;  // undecided, and not remembered
    const bool holds = outcome.status != TableSearchOutcome::Status::Infeasible;
    const char* why = tp == tq                                 ? "cannot share one laminate (searched)"
                      : halfPositions(tp) == halfPositions(tq) ? "cannot share one ply order (searched)"
                                                               : "cannot be blended (searched)";
    return learn(p, tp, q, tq, holds, why);
  }

  bool learn(int p, int tp, int q, int tq, bool holds, const std::string& why) {
    pairs_[std::make_tuple(p, tp, q, tq)] = holds;
    if (!holds)
      result_.ruledOutPairs.push_back({structure_.panels[p].name, tp, structure_.panels[q].name, tq, why});
    return holds;
  }

  // Too many positions for the thinner neighbour to drop in runs of at most maxDrops: runs sit
  // after each of its kept positions from the last covered one on.
  std::string dropsConflict(int, int tp, int, int tq, bool adjacent) const {
    if (!adjacent) return {};
    const BlendingRules& rules = structure_.blending;
    const int thick = std::max(halfPositions(tp), halfPositions(tq));
    const int thin = std::min(halfPositions(tp), halfPositions(tq));
    const int gaps = thin - std::min(pairCovering_, thin) + 1;
    if (thick - thin <= rules.maxDrops * gaps) return {};
    return "differ by more positions (" + std::to_string(thick - thin) + ") than runs of " +
           std::to_string(rules.maxDrops) + " can drop";
  }

  static constexpr std::int64_t kPairPositionLimit = 200000;

  // Stopped: every vector lighter than `pending` was proved empty.
  LightestBlend stoppedResult(double pending) {
    result_.status = LightestBlend::Status::Stopped;
    result_.lowerBound = pending;
    return result_;
  }

  const BlendedStructure& structure_;
  const StopRequest* stop_;
  const VectorProgress& progress_;
  LightestBlend result_;
  std::map<std::tuple<int, int, int, int>, bool> pairs_;
  std::vector<std::vector<int>> options_;  // each panel's totals that it meets alone
  std::vector<double> restLightest_;       // the lightest weight of the panels from p on
  std::set<std::vector<int>> tried_;
  std::vector<int> current_;
  std::vector<int> bestVector_;
  double bestWeight_ = 0.0;
  int pairCovering_ = 0;
  bool lastFound_ = false;  // whether the vector searched last holds a design
  double certified_ = 0.0;  // every vector lighter than this holds no design
};

}  // namespace

LightestBlend findLightestBlend(const BlendedStructure& structure, const StopRequest* stop,
                                const VectorProgress& progress) {
  return LightestRun(structure, stop, progress).run();
}

}  // namespace kelm
