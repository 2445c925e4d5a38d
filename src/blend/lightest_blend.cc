#include "blend/lightest_blend.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "alt/surface_ceiling.h"
#include "blend/count_vectors.h"
#include "blend/table_search.h"

namespace kelm {

namespace {

// Whether a surface's ceiling over every design of the total the rules allow stays below its
// limit, for some required surface.
bool ceilingRulesOut(const BlendPanel& panel, const PanelTotal& total) {
  LaminateRules none;
  none.balance = false;
  const LaminateRules rules = boundedRules(panel.rulesFor(total.plies));
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

// Too many positions for the thinner neighbour to drop in runs of at most maxDrops: runs sit
// after each of its kept positions from the last covered one on.
std::string dropsRuleOut(const BlendedStructure& structure, const std::vector<int>& plies) {
  const BlendingRules& rules = structure.blending;
  for (const auto& [a, b] : structure.adjacent) {
    const int thick = std::max(halfPositions(plies[a]), halfPositions(plies[b]));
    const int thin = std::min(halfPositions(plies[a]), halfPositions(plies[b]));
    const int gaps = thin - std::min(rules.covering, thin) + 1;
    if (thick - thin > rules.maxDrops * gaps)
      return structure.panels[a].name + " and " + structure.panels[b].name + " differ by more positions (" +
             std::to_string(thick - thin) + ") than runs of " + std::to_string(rules.maxDrops) + " can drop";
  }
  return {};
}

// Weights summed from other totals can differ in the last bits where they are equal in fact.
bool heavier(double weight, double lightest) { return weight > lightest + 1e-12 * std::fabs(lightest) + 1e-12; }

class LightestRun {
 public:
  LightestRun(const BlendedStructure& structure, const StopRequest* stop, const VectorProgress& progress)
      : structure_(structure), stop_(stop), progress_(progress) {}

  LightestBlend run() {
    std::vector<std::vector<int>> options = panelOptions();
    if (stopped()) return stoppedResult();
    std::vector<std::vector<double>> weights(options.size());
    for (std::size_t p = 0; p < options.size(); ++p)
      for (int plies : options[p]) weights[p].push_back(structure_.panels[p].plyWeight * plies);
    CountVectorQueue queue(weights);
    std::vector<int> chosen;
    double weight = 0.0;
    while (queue.next(chosen, weight)) {
      if (result_.found && heavier(weight, result_.weight)) break;
      std::vector<int> plies(chosen.size());
      for (std::size_t p = 0; p < chosen.size(); ++p) plies[p] = options[p][chosen[p]];
      if (!tryVector(plies, weight)) return stoppedResult(weight);
    }
    result_.status = result_.found ? LightestBlend::Status::Optimal : LightestBlend::Status::Infeasible;
    result_.lowerBound = result_.found ? result_.weight : 0.0;
    return result_;
  }

 private:
  bool stopped() const { return stop_ != nullptr && stop_->requested(); }

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

  // Searches one vector; false when stopped.
  bool tryVector(const std::vector<int>& plies, double weight) {
    ++result_.vectorsTried;
    if (progress_) progress_(plies, weight);
    std::string why = dropsRuleOut(structure_, plies);
    if (why.empty()) why = pairsRuleOut(plies);
    if (stopped()) return false;
    if (!why.empty()) {
      result_.ruledOut.push_back({plies, weight, why});
      return true;
    }
    TableSearch search(structure_, plies);
    const TableSearchOutcome outcome = search.run(stop_);
    result_.nodes += outcome.nodes;
    if (outcome.found && (!result_.found || outcome.margin > result_.margin)) {
      result_.found = true;
      result_.design = outcome.design;
      result_.margin = outcome.margin;
      result_.weight = weight;
    }
    if (outcome.status == TableSearchOutcome::Status::Stopped) return false;
    if (!outcome.found)
      result_.ruledOut.push_back({plies, weight, "no blended design (" + std::to_string(outcome.nodes) +
                                                     " guide positions searched)"});
    return true;
  }

  // Two panels of one vector alone: with equal totals they share one laminate, otherwise the
  // thinner is cut from the thicker (with the drop limit when they are neighbours). A pair
  // that holds no design rules out every vector that holds it; each pair and totals is searched
  // once, and given up (nothing proved) after a bounded search.
  std::string pairsRuleOut(const std::vector<int>& plies) {
    const int thinnest = *std::min_element(plies.begin(), plies.end());
    const int covering = std::min(structure_.blending.covering, halfPositions(thinnest));
    for (std::size_t p = 0; p < plies.size(); ++p)
      for (std::size_t q = p + 1; q < plies.size(); ++q) {
        const bool adjacent = neighbours(static_cast<int>(p), static_cast<int>(q));
        if (plies[p] != plies[q] && !adjacent) continue;
        if (!pairHolds(static_cast<int>(p), plies[p], static_cast<int>(q), plies[q], adjacent, covering))
          return structure_.panels[p].name + " at " + std::to_string(plies[p]) + " plies and " +
                 structure_.panels[q].name + " at " + std::to_string(plies[q]) +
                 (plies[p] == plies[q] ? " cannot share one laminate" : " cannot be blended");
        if (stopped()) return {};
      }
    return {};
  }

  bool neighbours(int p, int q) const {
    for (const auto& [a, b] : structure_.adjacent)
      if ((a == p && b == q) || (a == q && b == p)) return true;
    return false;
  }

  bool pairHolds(int p, int tp, int q, int tq, bool adjacent, int covering) {
    const auto key = std::make_tuple(p, tp, q, tq, covering);
    const auto known = pairs_.find(key);
    if (known != pairs_.end()) return known->second;
    BlendedStructure pair;
    pair.panels = {structure_.panels[p], structure_.panels[q]};
    pair.blending = structure_.blending;
    pair.blending.covering = covering;
    if (adjacent) pair.adjacent.emplace_back(0, 1);
    TableSearch search(pair, {tp, tq});
    search.stopAtFirstDesign();
    search.limitPositions(kPairPositionLimit);
    const TableSearchOutcome outcome = search.run(stop_);
    result_.nodes += outcome.nodes;
    if (stopped()) return true;  // undecided, and not remembered
    const bool holds = outcome.status != TableSearchOutcome::Status::Infeasible;
    pairs_[key] = holds;
    return holds;
  }

  static constexpr std::int64_t kPairPositionLimit = 200000;

  // Stopped: every vector lighter than `pending` was proved empty.
  LightestBlend stoppedResult(double pending = 0.0) {
    result_.status = LightestBlend::Status::Stopped;
    result_.lowerBound = pending;
    return result_;
  }

  const BlendedStructure& structure_;
  const StopRequest* stop_;
  const VectorProgress& progress_;
  LightestBlend result_;
  std::map<std::tuple<int, int, int, int, int>, bool> pairs_;
};

}  // namespace

LightestBlend findLightestBlend(const BlendedStructure& structure, const StopRequest* stop,
                                const VectorProgress& progress) {
  return LightestRun(structure, stop, progress).run();
}

}  // namespace kelm
