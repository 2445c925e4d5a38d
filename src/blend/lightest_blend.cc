#include "blend/lightest_blend.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "alt/surface_ceiling.h"
#include "blend/blend_check.h"
#include "blend/guide_annealing.h"
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

}  // namespace

class LightestRun {
  friend class SharedBlendRun;
  friend class VectorDecider;

 public:
  LightestRun(const BlendedStructure& structure, const StopRequest* stop, const VectorProgress& progress,
              const std::vector<int>& start, bool weightOnly)
      : structure_(structure), stop_(stop), progress_(progress), start_(start), weightOnly_(weightOnly) {
    if (structure_.blending.form == BlendForm::EdgeWise) {
      tableForm_ = structure_;
      tableForm_.blending.form = BlendForm::Table;
    }
  }

  // What every run needs before its count vectors: each panel's totals that it meets alone, the
  // groups of neighbours, the covering a pair or group is searched with. False when some panel
  // meets none of its totals (or stopped).
  bool learnPanels() {
    options_ = panelOptions();
    if (stopped()) return false;
    for (const auto& panel : options_)
      if (panel.empty()) return false;
    restLightest_.assign(options_.size() + 1, 0.0);
    for (std::size_t p = options_.size(); p-- > 0;)
      restLightest_[p] = restLightest_[p + 1] + structure_.panels[p].plyWeight * options_[p].front();
    certified_ = restLightest_[0] + structure_.stiffenersWeight();
    findGroups();
    pairCovering_ = structure_.blending.covering;
    for (const auto& panel : options_) pairCovering_ = std::min(pairCovering_, halfPositions(panel.front()));
    return true;
  }

  // The panels learnt, the start vector searched, a light design looked for: the result when
  // the run has ended already.
  std::optional<LightestBlend> prepare() {
    if (!learnPanels()) return stopped() ? stoppedResult(0.0) : finished();
    if (!start_.empty() && !tryStart()) return stoppedResult(certified_);
    findLightDesign();
    if (stopped()) return stoppedResult(certified_);
    return std::nullopt;
  }

  LightestBlend run() {
    if (std::optional<LightestBlend> ended = prepare()) return *ended;
    // First the lightest weight, each vector searched only for a first design, so that the
    // weight is certified as early as it can be; then the largest smallest margin among the
    // vectors of that weight.
    std::vector<std::vector<int>>& lightest = lightest_;
    while (true) {
      std::vector<int> plies;
      double weight = 0.0;
      // A stop cuts the enumeration short, so no vector found then proves nothing is left.
      const bool untried = lightestUntried(plies, weight);
      if (stopped()) return stoppedResult(certified_);
      if (!untried) break;
      if (result_.found && heavier(weight, result_.weight)) break;
      certified_ = weight;
      const Decision decision = decideVector(plies, weight, true);
      if (decision == Decision::Stopped) return stoppedResult(weight);
      if (decision == Decision::GroupFails) continue;  // the enumeration learns the group
      tried_.insert(plies);
      if (lastFound_) lightest.push_back(plies);
    }
    return raiseMargin();
  }

  // The weight certified: among the vectors of that weight, the design of the largest smallest
  // margin.
  LightestBlend raiseMargin() {
    // A design no margin can beat (no panel has a surface) is the best of its weight as it is.
    if (weightOnly_ || (result_.found && result_.margin == std::numeric_limits<double>::infinity()))
      return finished();
    // A larger margin found first cuts more of each exact search.
    for (const std::vector<int>& plies : lightest_) {
      raiseMarginByAnnealing(plies);
      if (stopped()) return stoppedResult(result_.weight);
    }
    for (const std::vector<int>& plies : lightest_)
      if (tryVector(plies, result_.weight) == Decision::Stopped) return stoppedResult(result_.weight);
    return finished();
  }

  // --- Count vectors decided elsewhere (other processes or machines) ---
  //
  // The enumeration stays here; each vector handed out is decided by a decider of its own, and
  // its verdict settled here in whatever order it comes back. Vectors are handed out by
  // increasing weight, so every vector lighter than the last one handed out has been handed out
  // (or ruled out by a pair or group), and the certified bound is the lighter of that weight and
  // the lightest vector not settled.

  std::optional<std::pair<std::vector<int>, double>> handOut() {
    std::vector<int> plies;
    double weight = 0.0;
    const bool untried = lightestUntried(plies, weight);
    if (stopped()) return std::nullopt;
    if (!untried || (result_.found && heavier(weight, result_.weight))) {
      exhausted_ = true;
      return std::nullopt;
    }
    certified_ = weight;
    handedOut_[plies] = weight;
    return std::make_pair(plies, weight);
  }

  void settle(const std::vector<int>& plies, const VectorVerdict& verdict) {
    const auto out = handedOut_.find(plies);
    if (out == handedOut_.end()) return;
    const double weight = out->second;
    result_.nodes += verdict.nodes;
    result_.guidesAnnealed += verdict.guidesAnnealed;
    if (verdict.kind == VectorVerdict::Kind::Undecided) {
      undecided_[plies] = weight;
      handedOut_.erase(out);
      return;
    }
    handedOut_.erase(out);
    if (verdict.kind == VectorVerdict::Kind::GroupFails) {
      learnGroup(verdict.group, verdict.groupPlies);
      return;
    }
    ++result_.vectorsTried;
    tried_.insert(plies);
    if (verdict.kind == VectorVerdict::Kind::Design) {
      keepDesign(verdict.design, verdict.margin, weight);
      lightest_.push_back(plies);
    } else {
      result_.ruledOut.push_back({plies, weight, "no blended design (" + std::to_string(verdict.nodes) +
                                                     " positions searched)"});
    }
  }

  // Every vector handed out has been settled: the weight certified, the margin raised here; or
  // undecided vectors (stopped) bound what is certified.
  LightestBlend concludeShared() {
    std::stable_sort(result_.ruledOut.begin(), result_.ruledOut.end(), [](const auto& a, const auto& b) {
      return a.weight < b.weight || (a.weight == b.weight && a.plies < b.plies);
    });
    double open = std::numeric_limits<double>::infinity();
    for (const auto* vectors : {&undecided_, &handedOut_})
      for (const auto& [plies, weight] : *vectors)
        if (weight < open) open = weight, result_.pending = plies;
    // Vectors not handed out yet weigh at least the last one handed out.
    if (!exhausted_) open = std::min(open, certified_);
    if (open < std::numeric_limits<double>::infinity()) {
      if (result_.found) open = std::min(open, result_.weight);
      return stoppedResult(open);
    }
    // Designs of heavier vectors may have come back before a lighter vector's.
    std::erase_if(lightest_, [&](const std::vector<int>& plies) {
      return heavier(structure_.weightOf(plies), result_.weight);
    });
    std::sort(lightest_.begin(), lightest_.end());
    return raiseMargin();
  }

  // One vector decided for a run elsewhere: its groups, its annealing and its own search, in
  // rounds until decided or stopped.
  VectorVerdict decideAlone(const std::vector<int>& plies, const StopRequest* stop) {
    stop_ = stop;
    VectorVerdict verdict;
    const std::int64_t nodes = result_.nodes, guides = result_.guidesAnnealed;
    lastFound_ = false;
    const Decision decision = decideVector(plies, structure_.weightOf(plies), false);
    verdict.nodes = result_.nodes - nodes;
    verdict.guidesAnnealed = result_.guidesAnnealed - guides;
    if (decision == Decision::Stopped) return verdict;
    if (decision == Decision::GroupFails) {
      verdict.kind = VectorVerdict::Kind::GroupFails;
      verdict.group = lastFailedGroup_.first;
      verdict.groupPlies = lastFailedGroup_.second;
      return verdict;
    }
    verdict.kind = lastFound_ ? VectorVerdict::Kind::Design : VectorVerdict::Kind::Empty;
    if (lastFound_) verdict.design = lastDesign_, verdict.margin = lastMargin_;
    return verdict;
  }

 private:
  bool stopped() const { return stop_ != nullptr && stop_->requested(); }
  void setStop(const StopRequest* stop) { stop_ = stop; }

  enum class Decision { Searched, GroupFails, Undecided, Stopped };

  // A vector is decided by its groups of neighbours and by its own search, in rounds of growing
  // searches: a conflict among a few panels is proved by their group in a moment, while the
  // whole vector wanders over every panel's choices before it meets it; and a vector that holds
  // a design may show it long before its groups are all settled.
  // Round k searches the groups of up to 3 + k panels (the larger ones are many, and each
  // costs more). The vector's own search is kept from round to round, so that a round goes on
  // past what the last one proved rather than searching it again.
  Decision decideVector(const std::vector<int>& plies, double weight, bool certifying) {
    std::unique_ptr<CountVectorSearch> search;
    std::size_t largest = 3;
    for (std::int64_t budget = kFirstGroupBudget;; budget *= 4, largest = std::min(largest + 1, kLargestGroup)) {
      if (!groupsHold(plies, budget, largest)) {
        if (!stopped()) return Decision::GroupFails;
        result_.pending = plies;
        return Decision::Stopped;
      }
      if (annealedDesign(plies, weight, budget * kAnnealFactor)) return Decision::Searched;
      if (stopped()) {
        result_.pending = plies;
        return Decision::Stopped;
      }
      if (search == nullptr) {
        ++result_.vectorsTried;
        search = makeCountVectorSearch(structure_, plies, &completions_);
      }
      search->limitPositions(budget * kVectorBudgetFactor);
      const Decision decision = tryVector(*search, plies, weight, true, certifying);
      if (decision != Decision::Undecided) return decision;
    }
  }

  // A design of the vector found by annealing its guide, started from the lightest design known
  // (finding none proves nothing). Taken as the vector's first design.
  bool annealedDesign(const std::vector<int>& plies, double weight, std::int64_t evaluations) {
    const AnnealingOutcome outcome = anneal(plies, evaluations, result_.found ? &result_.design : nullptr);
    lastFound_ = outcome.found;
    if (!outcome.found) return false;
    lastDesign_ = outcome.design, lastMargin_ = outcome.margin;
    if (progress_) progress_(plies, weight);
    keepDesign(outcome.design, outcome.margin, weight);
    return true;
  }

  // Annealing runs over tables. Edge-wise, every table's design blends too (each thinner
  // laminate keeps the thicker one's order, its drops in runs no longer than a table allows), so
  // the structure's table form is annealed and its designs are checked edge-wise; a design
  // without a guide (found by the edge-wise search) gives no start.
  AnnealingOutcome anneal(const std::vector<int>& plies, std::int64_t evaluations, const BlendedDesign* near,
                          AnnealingGoal goal = AnnealingGoal::FirstDesign) {
    const bool edgeWise = structure_.blending.form == BlendForm::EdgeWise;
    if (near != nullptr && near->guide.empty()) near = nullptr;
    AnnealingOutcome outcome = annealGuide(edgeWise ? tableForm_ : structure_, plies, evaluations, ++annealingSeed_,
                                           stop_, near, goal);
    result_.guidesAnnealed += outcome.evaluations;
    if (outcome.found && edgeWise) {
      const BlendVerdict verdict = checkBlendedDesign(structure_, outcome.design);
      outcome.found = verdict.holds();
      outcome.margin = verdict.margin;
    }
    return outcome;
  }

  // The design of the largest smallest margin annealing meets for a vector of the lightest
  // weight, started from the best design held.
  void raiseMarginByAnnealing(const std::vector<int>& plies) {
    const AnnealingOutcome outcome = anneal(plies, kMarginEvaluations, &result_.design, AnnealingGoal::LargestMargin);
    if (outcome.found) keepDesign(outcome.design, outcome.margin, result_.weight);
  }

  // The design kept when it is lighter than the one held, or as light with a larger smallest
  // margin.
  void keepDesign(const BlendedDesign& design, double margin, double weight) {
    const bool lighter = result_.found && heavier(result_.weight, weight);
    const bool asLight = result_.found && !lighter && !heavier(weight, result_.weight);
    if (result_.found && !lighter && !(asLight && margin > result_.margin)) return;
    result_.found = true;
    result_.design = design;
    result_.margin = margin;
    result_.weight = weight;
  }

  // A light design early, so that a run stopped before the weight is certified still reports a
  // design and its gap, and the enumeration stops at its weight: a design of every panel a few
  // plies above its lightest total (each panel raised alike until one is found), then lighter
  // ones, a panel at a time, the heaviest plies first, each annealed from the last design,
  // until no panel can be lightened. It proves nothing.
  void findLightDesign() {
    std::vector<std::size_t> index(options_.size(), 0);
    std::vector<int> plies(options_.size());
    if (result_.found) {
      plies = result_.design.plies;
      for (std::size_t p = 0; p < plies.size(); ++p)
        index[p] = std::find(options_[p].begin(), options_[p].end(), plies[p]) - options_[p].begin();
    }
    for (std::size_t raise = 1; !result_.found && raise <= kLightDesignRaises; ++raise) {
      const std::vector<int> before = plies;
      for (std::size_t p = 0; p < plies.size(); ++p) {
        index[p] = std::min(raise, options_[p].size() - 1);
        plies[p] = options_[p][index[p]];
      }
      // Panels of few totals (one each, under fixed counts) raise no further; fixed ply numbers
      // that cannot nest, or neighbours too far apart to place their drops, hold no design, and
      // the enumeration proves it at once.
      if (plies == before || !numbersNestIn(plies) || !everyDropFits(plies)) continue;
      const AnnealingOutcome outcome = anneal(plies, kLightDesignEvaluations, nullptr);
      if (stopped()) return;
      if (outcome.found) keepDesign(outcome.design, outcome.margin, structure_.weightOf(plies));
    }
    if (!result_.found) return;
    std::vector<int> order(plies.size());
    for (std::size_t p = 0; p < order.size(); ++p) order[p] = static_cast<int>(p);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return structure_.panels[a].plyWeight > structure_.panels[b].plyWeight;
    });
    while (lightenOne(plies, index, order)) {
    }
  }

  // One panel a step lighter, the heaviest plies first; false when none can be (or stopped).
  bool lightenOne(std::vector<int>& plies, std::vector<std::size_t>& index, const std::vector<int>& order) {
    bool any = false;
    for (int p : order)
      if (lightened(plies, index, p)) any = true;
    return any && !stopped();
  }

  // The totals with panel p a step lighter, kept when annealing from the last design finds a
  // design of them.
  bool lightened(std::vector<int>& plies, std::vector<std::size_t>& index, int p) {
    if (stopped() || index[p] == 0 || index[p] >= options_[p].size()) return false;
    std::vector<int> next = plies;
    next[p] = options_[p][index[p] - 1];
    if (!dropsFit(next, p)) return false;
    const AnnealingOutcome outcome = anneal(next, lighteningEvaluations(), &result_.design);
    if (!outcome.found) return false;
    keepDesign(outcome.design, outcome.margin, structure_.weightOf(next));
    plies = next;
    --index[p];
    return true;
  }

  // Guides annealed for one step of the descent. A guide costs about as much as its panels, and
  // the descent tries every panel in turn; so a structure of many panels gives each step fewer
  // guides (a step missed costs only a lighter design, never a wrong one), and a step of the
  // horseshoe's 18 panels as many as the first design.
  std::int64_t lighteningEvaluations() const {
    const auto panels = static_cast<std::int64_t>(structure_.panels.size());
    return std::clamp<std::int64_t>(kLightDesignEvaluations * 18 / std::max<std::int64_t>(panels, 1),
                                    kLightDesignEvaluations / 10, kLightDesignEvaluations);
  }

  // Whether the panel's neighbours can place its drops at these totals.
  bool everyDropFits(const std::vector<int>& plies) const {
    for (int p = 0; p < static_cast<int>(plies.size()); ++p)
      if (!dropsFit(plies, p)) return false;
    return true;
  }

  bool dropsFit(const std::vector<int>& plies, int p) const {
    for (int q = 0; q < static_cast<int>(plies.size()); ++q)
      if (q != p && !dropsConflict(p, plies[p], q, plies[q], neighbours(p, q)).empty()) return false;
    return true;
  }

  // An edge-wise design annealed as a table keeps its guide while the run goes on (the start of
  // the next annealing), not in the result.
  LightestBlend reported() {
    if (structure_.blending.form == BlendForm::EdgeWise) result_.design.guide.clear();
    return result_;
  }

  LightestBlend finished() {
    result_.status = result_.found ? LightestBlend::Status::Optimal : LightestBlend::Status::Infeasible;
    result_.lowerBound = result_.found ? result_.weight : 0.0;
    result_.marginMaximised = result_.found && !weightOnly_;
    return reported();
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
    weight = bestWeight_ + structure_.stiffenersWeight();  // as the structure weighs a design
    return true;
  }

  void descend(std::size_t panel, double weight) {
    if (stopped() || !(weight + restLightest_[panel] < bestWeight_)) return;
    if (panel == options_.size()) {
      if (tried_.count(current_) || handedOut_.count(current_) || undecided_.count(current_)) return;
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

  // Every pair of the panel with an earlier one that the blending constrains: in a table,
  // totals of one class share a ply order; neighbours must place their drops. (Two neighbours
  // alone blend edge-wise exactly when they blend by a table of their own.)
  bool fitsEarlierPanels(int q) {
    for (int p = 0; p < q; ++p) {
      const bool adjacent = neighbours(p, q);
      const bool table = structure_.blending.form == BlendForm::Table;
      if ((table || adjacent) && !numbersNest(p, current_[p], q, current_[q])) return false;
      const bool oneOrder = table && halfPositions(current_[p]) == halfPositions(current_[q]);
      if (!oneOrder && !adjacent) continue;
      if (!pairHolds(p, current_[p], q, current_[q], adjacent)) return false;
      if (stopped()) return false;
    }
    for (const std::vector<int>& group : groups_)
      if (group.back() == q && knownNotToHold(group)) return false;
    return !stopped();
  }

  // Groups are many more than pairs: they are searched only for the vector the enumeration
  // takes up, and there after remembered, so that the enumeration cuts what they ruled out.
  bool knownNotToHold(const std::vector<int>& members) const {
    std::vector<int> plies;
    for (int p : members) plies.push_back(current_[p]);
    const auto known = groupsKnown_.find(std::make_pair(members, plies));
    return known != groupsKnown_.end() && known->second.decided && !known->second.holds;
  }

  // Whether no group of the vector (of up to `largest` panels) is known, within `budget`
  // positions each, to hold no design.
  bool groupsHold(const std::vector<int>& plies, std::int64_t budget, std::size_t largest) {
    current_ = plies;
    for (const std::vector<int>& group : groups_)
      if (group.size() <= largest && (!groupHolds(group, budget) || stopped())) return false;
    return true;
  }

  // Connected groups of three to six panels, each in panel order, smaller first.
  static constexpr std::size_t kLargestGroup = 6;
  void findGroups() {
    const int n = static_cast<int>(structure_.panels.size());
    std::set<std::vector<int>> found;
    std::vector<std::vector<int>> layer;
    for (int p = 0; p < n; ++p) layer.push_back({p});
    for (std::size_t size = 2; size <= kLargestGroup; ++size) {
      std::set<std::vector<int>> next;
      for (const std::vector<int>& group : layer)
        for (int p : group)
          for (int q = 0; q < n; ++q) {
            if (!neighbours(p, q) || std::find(group.begin(), group.end(), q) != group.end()) continue;
            std::vector<int> grown = group;
            grown.insert(std::upper_bound(grown.begin(), grown.end(), q), q);
            next.insert(grown);
          }
      layer.assign(next.begin(), next.end());
      // The whole structure is the vector's own search.
      if (size >= 3 && size < static_cast<std::size_t>(n)) found.insert(next.begin(), next.end());
    }
    groups_.assign(found.begin(), found.end());
    // Smaller groups first: a conflict of three is proved before the fours that hold it.
    std::stable_sort(groups_.begin(), groups_.end(),
                     [](const std::vector<int>& a, const std::vector<int>& b) { return a.size() < b.size(); });
  }

  // A group searched within `budget` positions (and remembered): false only when proved to
  // hold no design; a group left undecided is taken as holding, and searched further when a
  // later round asks for more.
  bool groupHolds(const std::vector<int>& members, std::int64_t budget) {
    std::vector<int> plies;
    for (int p : members) plies.push_back(current_[p]);
    const auto key = std::make_pair(members, plies);
    GroupKnowledge& known = groupsKnown_[key];
    if (!(known.decided && known.holds)) lastFailedGroup_ = key;
    if (known.decided) return known.holds;
    if (known.searchedWithin >= budget) return true;
    const VectorSearchOutcome outcome = searchGroup(members, plies, budget);
    if (stopped()) return true;  // undecided, and not remembered
    known.searchedWithin = budget;
    known.decided = outcome.status != VectorSearchOutcome::Status::Stopped;
    known.holds = outcome.status != VectorSearchOutcome::Status::Infeasible;
    if (!known.holds) reportGroup(members, plies);
    return known.holds;
  }

  // A group proved elsewhere to hold no design at these totals.
  void learnGroup(const std::vector<int>& members, const std::vector<int>& plies) {
    GroupKnowledge& known = groupsKnown_[std::make_pair(members, plies)];
    if (known.decided && !known.holds) return;
    known.decided = true;
    known.holds = false;
    reportGroup(members, plies);
  }

  void reportGroup(const std::vector<int>& members, const std::vector<int>& plies) {
    RuledOutGroup out{{}, plies, "cannot be blended together (searched)"};
    for (int p : members) out.panels.push_back(structure_.panels[p].name);
    result_.ruledOutGroups.push_back(out);
  }

  // The members alone at these totals, searched for a first design within `budget` positions.
  // The covering is cut to the thinnest count any vector can have, so that what a group rules
  // out no vector holds.
  VectorSearchOutcome searchGroup(const std::vector<int>& members, const std::vector<int>& plies,
                                  std::int64_t budget) {
    BlendedStructure group;
    group.blending = structure_.blending;
    group.blending.covering = pairCovering_;
    for (int p : members) group.panels.push_back(structure_.panels[p]);
    for (std::size_t i = 0; i < members.size(); ++i)
      for (std::size_t j = i + 1; j < members.size(); ++j)
        if (neighbours(members[i], members[j])) group.adjacent.emplace_back(i, j);
    const std::unique_ptr<CountVectorSearch> search = makeCountVectorSearch(group, plies, &completions_);
    search->stopAtFirstDesign();
    search->limitPositions(budget);
    const VectorSearchOutcome outcome = search->run(stop_);
    result_.nodes += outcome.nodes;
    return outcome;
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
        const VectorSearchOutcome outcome = alone.run(stop_);
        result_.nodes += outcome.nodes;
        if (outcome.status == VectorSearchOutcome::Status::Infeasible)
          result_.ruledOutTotals.push_back({static_cast<int>(p), total.plies, "search"});
        else
          options[p].push_back(total.plies);
      }
    }
    return options;
  }

  // The start vector: its pairs and groups first (a conflict among a few panels is proved in a
  // moment), then a search for a first design. False when stopped.
  bool tryStart() {
    current_ = start_;
    bool fits = true;
    for (std::size_t q = 0; q < start_.size() && fits; ++q) fits = fitsEarlierPanels(static_cast<int>(q));
    const Decision decision = fits ? decideVector(start_, structure_.weightOf(start_), false) : Decision::GroupFails;
    if (decision == Decision::Stopped || stopped()) return false;
    result_.startOutcome = decision == Decision::GroupFails ? "no design: a pair or group of its panels cannot be blended"
                           : lastFound_                     ? "a design found"
                                                            : "no design (searched)";
    return true;
  }

  // Searches one vector for the largest smallest margin above the best so far.
  Decision tryVector(const std::vector<int>& plies, double weight) {
    const std::unique_ptr<CountVectorSearch> search = makeCountVectorSearch(structure_, plies, &completions_);
    search->beatMargin(result_.margin);
    return tryVector(*search, plies, weight, false, true);
  }

  // Runs a vector's search (for a first design only, or as set up).
  Decision tryVector(CountVectorSearch& search, const std::vector<int>& plies, double weight, bool firstOnly,
                     bool certifying) {
    if (progress_) progress_(plies, weight);
    if (firstOnly) search.stopAtFirstDesign();
    const VectorSearchOutcome outcome = search.run(stop_);
    result_.nodes += outcome.nodes;
    lastFound_ = outcome.found;
    if (outcome.found) {
      lastDesign_ = outcome.design, lastMargin_ = outcome.margin;
      keepDesign(outcome.design, outcome.margin, weight);
    }
    if (outcome.status == VectorSearchOutcome::Status::Stopped) {
      if (!stopped()) return Decision::Undecided;
      result_.pending = plies;
      return Decision::Stopped;
    }
    if (firstOnly && certifying && !outcome.found)
      result_.ruledOut.push_back({plies, weight, "no blended design (" + std::to_string(outcome.nodes) +
                                                     " positions searched)"});
    return Decision::Searched;
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
    TableSearch search(pair, {tp, tq}, &completions_);
    search.stopAtFirstDesign();
    search.limitPositions(kPairPositionLimit);
    const VectorSearchOutcome outcome = search.run(stop_);
    result_.nodes += outcome.nodes;
    if (stopped()) return true;  // undecided, and not remembered
    const bool holds = outcome.status != VectorSearchOutcome::Status::Infeasible;
    const char* why = tp == tq                                 ? "cannot share one laminate (searched)"
                      : halfPositions(tp) == halfPositions(tq) ? "cannot share one ply order (searched)"
                                                               : "cannot be blended (searched)";
    return learn(p, tp, q, tq, holds, why);
  }

  // Whether every pair that must blend has fixed ply numbers that nest (nothing learned).
  bool numbersNestIn(const std::vector<int>& plies) const {
    for (std::size_t q = 0; q < plies.size(); ++q)
      for (std::size_t p = 0; p < q; ++p)
        if ((structure_.blending.form == BlendForm::Table || neighbours(static_cast<int>(p), static_cast<int>(q))) &&
            !numbersFit(structure_.panels[p].rules, halfPositions(plies[p]), structure_.panels[q].rules,
                        halfPositions(plies[q])))
          return false;
    return true;
  }

  static bool numbersFit(const LaminateRules& a, int ha, const LaminateRules& b, int hb) {
    if (!a.plyNumbersFixed || !b.plyNumbersFixed) return true;
    const int na[3] = {a.ply0, a.ply45, a.ply90}, nb[3] = {b.ply0, b.ply45, b.ply90};
    bool nest = true;
    for (int o = 0; o < 3; ++o) nest = nest && (ha == hb ? na[o] == nb[o] : ha > hb ? na[o] >= nb[o] : na[o] <= nb[o]);
    return nest;
  }

  // Fixed ply numbers of two panels that must blend (in a table any two; edge-wise neighbours):
  // the thinner laminate is the thicker one with positions dropped, so it holds no more of any
  // orientation, and one ply order (totals of one class) holds the same numbers. Learned once.
  bool numbersNest(int p, int tp, int q, int tq) {
    const int ha = halfPositions(tp), hb = halfPositions(tq);
    if (numbersFit(structure_.panels[p].rules, ha, structure_.panels[q].rules, hb)) return true;
    const auto key = std::make_tuple(p, tp, q, tq);
    if (pairs_.find(key) != pairs_.end()) return false;
    return learn(p, tp, q, tq, false, ha == hb ? "fix other ply numbers in one ply order" : "fix ply numbers that do not nest");
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
  // The first round's positions for each group, and the vector's own per group position.
  static constexpr std::int64_t kFirstGroupBudget = 2000;
  static constexpr std::int64_t kVectorBudgetFactor = 50;
  // Guides annealed per round's group position before a vector's own search, and for each
  // vector of the light design's descent; how many plies (in steps of allowed totals) every
  // panel is raised at most to find the descent's first design.
  static constexpr std::int64_t kAnnealFactor = 10;
  static constexpr std::int64_t kLightDesignEvaluations = 200000;
  static constexpr std::size_t kLightDesignRaises = 4;
  static constexpr std::int64_t kMarginEvaluations = 1000000;

  // Stopped: every vector lighter than `pending` was proved empty.
  LightestBlend stoppedResult(double pending) {
    result_.status = LightestBlend::Status::Stopped;
    result_.lowerBound = pending;
    return reported();
  }

  const BlendedStructure& structure_;
  BlendedStructure tableForm_;  // edge-wise: the same structure blended by a table, for annealing
  const StopRequest* stop_;
  std::vector<std::vector<int>> lightest_;  // vectors of the lightest weight holding a design
  // Shared runs: vectors handed out and not settled, and those whose decider was stopped.
  std::map<std::vector<int>, double> handedOut_, undecided_;
  bool exhausted_ = false;  // no vector is left to hand out below the design's weight
  BlendedDesign lastDesign_;  // the design of the vector decided last, when it holds one
  double lastMargin_ = 0.0;
  std::pair<std::vector<int>, std::vector<int>> lastFailedGroup_;  // members and their totals
  const VectorProgress& progress_;
  const std::vector<int>& start_;
  const bool weightOnly_;
  LightestBlend result_;
  std::map<std::tuple<int, int, int, int>, bool> pairs_;
  std::vector<std::vector<int>> groups_;  // connected groups of three to six panels
  struct GroupKnowledge {
    bool decided = false;
    bool holds = true;
    std::int64_t searchedWithin = 0;  // positions of the longest search that left it undecided
  };
  std::map<std::pair<std::vector<int>, std::vector<int>>, GroupKnowledge> groupsKnown_;
  std::vector<std::vector<int>> options_;  // each panel's totals that it meets alone
  std::vector<double> restLightest_;       // the lightest weight of the panels from p on
  std::set<std::vector<int>> tried_;
  CompletionsCache completions_;
  std::vector<int> current_;
  std::vector<int> bestVector_;
  double bestWeight_ = 0.0;
  int pairCovering_ = 0;
  bool lastFound_ = false;  // whether the vector searched last holds a design
  std::uint64_t annealingSeed_ = 0;  // each annealing draws from its own seed
  double certified_ = 0.0;  // every vector lighter than this holds no design
};

LightestBlend findLightestBlend(const BlendedStructure& structure, const StopRequest* stop,
                                const VectorProgress& progress, const std::vector<int>& start, bool weightOnly) {
  return LightestRun(structure, stop, progress, start, weightOnly).run();
}

SharedBlendRun::SharedBlendRun(const BlendedStructure& structure, const StopRequest* stop, std::vector<int> start,
                               bool weightOnly)
    : start_(std::move(start)), run_(std::make_unique<LightestRun>(structure, stop, progress_, start_, weightOnly)) {}

SharedBlendRun::~SharedBlendRun() = default;

bool SharedBlendRun::prepare() {
  ended_ = run_->prepare();
  return !ended_.has_value();
}

std::optional<std::pair<std::vector<int>, double>> SharedBlendRun::handOut() {
  if (ended_) return std::nullopt;
  return run_->handOut();
}

void SharedBlendRun::settle(const std::vector<int>& plies, const VectorVerdict& verdict) {
  if (!ended_) run_->settle(plies, verdict);
}

LightestBlend SharedBlendRun::conclude() {
  if (ended_) return *ended_;
  return run_->concludeShared();
}

VectorDecider::VectorDecider(const BlendedStructure& structure)
    : structure_(structure), run_(std::make_unique<LightestRun>(structure_, nullptr, progress_, start_, false)) {}

VectorDecider::~VectorDecider() = default;

VectorVerdict VectorDecider::decide(const std::vector<int>& plies, const StopRequest* stop) {
  if (!learnt_) {
    run_->setStop(stop);
    if (!run_->learnPanels()) return {};
    learnt_ = true;
  }
  return run_->decideAlone(plies, stop);
}

}  // namespace kelm
