#include "blend/guide_annealing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "blend/blend_check.h"
#include "blend/stiffened_panels.h"
#include "laminate/design_rules.h"
#include "laminate/panel_design.h"
#include "search/panel_value.h"

namespace kelm {

namespace {

// What a broken rule and a position dropped beyond the limit weigh against a requirement's
// relative shortfall: enough that the annealing mends them first, not so much that a guide one
// swap from a design looks far from it.
constexpr double kRuleBreak = 0.3;
constexpr double kDropExcess = 0.3;
// The temperatures each pass cools from and to, and the guides of a pass: passes restart from
// the best guide so far.
constexpr double kHot = 0.5;
constexpr double kCold = 0.001;
constexpr std::int64_t kPassLength = 50000;

class GuideAnnealer {
 public:
  GuideAnnealer(const BlendedStructure& structure, const std::vector<int>& plies, std::uint64_t seed,
                AnnealingGoal goal)
      : goal_(goal), structure_(structure), plies_(plies), random_(seed) {
    prepare();
  }

  AnnealingOutcome run(std::int64_t evaluations, const StopRequest* stop, const BlendedDesign* near) {
    AnnealingOutcome outcome;
    if (near != nullptr && !near->guide.empty())
      guideNear(*near);
    else
      randomGuide();
    double current = cost();
    if (firstFound(outcome)) return outcome;
    std::vector<Row> best = guide_;
    double bestCost = current;
    while (outcome.evaluations < evaluations) {
      const std::int64_t length = std::min(kPassLength, evaluations - outcome.evaluations);
      for (std::int64_t step = 0; step < length; ++step, ++outcome.evaluations) {
        if ((outcome.evaluations & 1023) == 0 && stop != nullptr && stop->requested()) return concluded(outcome);
        const double temperature = kHot * std::pow(kCold / kHot, static_cast<double>(step) / length);
        before_ = guide_;
        if (!move()) {
          guide_ = before_;
          continue;
        }
        const double next = cost();
        if (next <= current || uniform() < std::exp((current - next) / temperature)) {
          if (next < current && firstFound(outcome)) return outcome;
          current = next;
          if (current < bestCost) bestCost = current, best = guide_;
        } else {
          guide_ = before_;
        }
      }
      guide_ = best;
      current = bestCost;
    }
    return concluded(outcome);
  }

 private:
  struct ClassPair {
    int high;
    int low;
  };
  // A guide position with its rank in the order of drops: a panel of h half positions keeps
  // the positions ranked 1 to h. Ranks, unlike levels, mean the same for any count vector, so
  // a design of one vector is a start for the next.
  struct Row {
    int code;
    int rank;
  };

  void prepare() {
    classes_ = countClasses(plies_);
    covered_ = std::min(structure_.blending.covering, classes_.front());
    positions_ = classes_.back();
    for (int rank = 1; rank <= positions_; ++rank) levelOfRank_.push_back(classOf(classes_, 2 * rank));
    shapes_ = plies_;
    std::sort(shapes_.begin(), shapes_.end());
    shapes_.erase(std::unique(shapes_.begin(), shapes_.end()), shapes_.end());
    designs_.assign(shapes_.size(), PanelDesign());
    lastRow_.assign(shapes_.size(), -1);
    for (std::size_t t = 0; t < shapes_.size(); ++t) {
      shapeClass_.push_back(classOf(classes_, shapes_[t]));
      designs_[t].stiffener.setPlyTotal(0);
    }
    for (std::size_t p = 0; p < plies_.size(); ++p) {
      panelShape_.push_back(static_cast<int>(std::lower_bound(shapes_.begin(), shapes_.end(), plies_[p]) - shapes_.begin()));
      rules_.push_back(structure_.panels[p].rulesFor(plies_[p]));
      totals_.push_back(structure_.panels[p].at(plies_[p]));
      ceilings_.emplace_back();
      recentStiffened_.emplace_back();
      lastStiffener_.push_back(-1);
      if (totals_.back()->stiffeners == nullptr) continue;
      for (const ModeSurface& mode : totals_.back()->surfaces) {
        ceilings_.back().emplace_back();
        ceilings_.back().back().setFullObjective(mode.surface);
      }
    }
    for (const auto& [a, b] : structure_.adjacent) {
      const int ca = classOf(classes_, plies_[a]), cb = classOf(classes_, plies_[b]);
      if (ca != cb) pairs_.push_back({std::max(ca, cb), std::min(ca, cb)});
    }
  }

  // Covered positions first, then the other ranks in random order, each with a random code.
  void randomGuide() {
    guide_.clear();
    std::vector<int> rest;
    for (int rank = covered_ + 1; rank <= positions_; ++rank) rest.push_back(rank);
    for (std::size_t i = rest.size(); i > 1; --i) std::swap(rest[i - 1], rest[below(static_cast<int>(i))]);
    for (int rank = 1; rank <= covered_; ++rank) guide_.push_back({randomCode(), rank});
    for (int rank : rest) guide_.push_back({randomCode(), rank});
  }

  // The guide of a design of another vector, ranked in its order of drops (by level, then
  // outer first); positions ranked beyond this vector's thickest panel are left out, and any
  // it lacks are added at random places.
  void guideNear(const BlendedDesign& near) {
    const std::vector<GuidePosition>& rows = near.guide;
    std::vector<int> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rows[a].level < rows[b].level; });
    std::vector<int> rank(rows.size());
    for (std::size_t r = 0; r < order.size(); ++r) rank[order[r]] = static_cast<int>(r) + 1;
    guide_.clear();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rank[i] <= positions_) guide_.push_back({rows[i].code, rank[i]});
    for (int added = static_cast<int>(guide_.size()) + 1; added <= positions_; ++added) {
      const int at = covered_ + below(static_cast<int>(guide_.size()) - covered_ + 1);
      guide_.insert(guide_.begin() + at, Row{randomCode(), added});
    }
    if (!coveringHolds()) randomGuide();
  }

  bool coveringHolds() const {
    for (int k = 0; k < covered_; ++k)
      if (levelOfRank_[guide_[k].rank - 1] != 1) return false;
    return true;
  }

  // One random change of the guide that keeps its covered positions: a new code, two positions
  // swapped, one position moved elsewhere, or two positions' ranks swapped. False when the
  // change drawn would break the covering.
  bool move() {
    const int n = static_cast<int>(guide_.size());
    const int kind = below(4);
    const int i = below(n);
    if (kind == 0) {
      guide_[i].code = (guide_[i].code + 1 + below(2)) % 3;
      return true;
    }
    const int j = below(n);
    if (i == j) return false;
    if (kind == 1) {
      std::swap(guide_[i], guide_[j]);
    } else if (kind == 3) {
      std::swap(guide_[i].rank, guide_[j].rank);
    } else if (i < j) {
      std::rotate(guide_.begin() + i, guide_.begin() + i + 1, guide_.begin() + j + 1);
    } else {
      std::rotate(guide_.begin() + j, guide_.begin() + i, guide_.begin() + i + 1);
    }
    return coveringHolds();
  }

  // What the annealing lowers. For a first design, how far the guide is from one: 0 exactly
  // when every pair drops within the limit and every panel meets its rules and requirements.
  // For the largest margin, every design costs less than any guide that is not one, and a
  // larger smallest margin less; the best design met is kept.
  double cost() {
    const double shortfall = penalty();
    if (goal_ == AnnealingGoal::FirstDesign) return shortfall;
    if (shortfall > 0.0) return 1.0 + shortfall;
    if (margin_ > bestMargin_) bestMargin_ = margin_, marginGuide_ = guide_;
    return std::clamp(-margin_, -1.0, 1.0);
  }

  // A first design: the guide costs nothing and passes the independent check.
  bool firstFound(AnnealingOutcome& outcome) {
    return goal_ == AnnealingGoal::FirstDesign && penaltyOfLast_ == 0.0 && holdsDesign(outcome);
  }

  // For the largest margin, the best design met.
  AnnealingOutcome& concluded(AnnealingOutcome& outcome) {
    if (goal_ == AnnealingGoal::LargestMargin && !marginGuide_.empty()) {
      guide_ = marginGuide_;
      holdsDesign(outcome);
    }
    return outcome;
  }

  // How far the guide is from a design (and, for the largest margin, its smallest margin).
  double penalty() {
    double total = 0.0;
    margin_ = std::numeric_limits<double>::infinity();
    const int limit = structure_.blending.maxDrops;
    for (const ClassPair& pair : pairs_) {
      int run = 0;
      for (const Row& row : guide_) {
        const int level = levelOfRank_[row.rank - 1];
        if (level > pair.high) continue;
        run = level <= pair.low ? 0 : run + 1;
        if (run > limit) total += kDropExcess;
      }
    }
    for (std::size_t t = 0; t < shapes_.size(); ++t) cutLaminate(t);
    total += kRuleBreak * pairsOnMidPlanes();
    for (std::size_t p = 0; p < plies_.size(); ++p) total += panelPenalty(p);
    penaltyOfLast_ = total;
    return total;
  }

  void cutLaminate(std::size_t t) {
    StackingSequence& laminate = designs_[t].skin;
    laminate.setPlyTotal(shapes_[t]);
    int position = 0;
    for (std::size_t i = 0; i < guide_.size(); ++i)
      if (levelOfRank_[guide_[i].rank - 1] <= shapeClass_[t] && position < laminate.plyCount())
        laminate.setTheta(++position, guide_[i].code), lastRow_[t] = static_cast<int>(i);
  }

  // Odd totals whose mid-plane row a thinner even total keeps as a pair of plies (shapes ascend).
  int pairsOnMidPlanes() const {
    int count = 0;
    for (std::size_t odd = 0; odd < shapes_.size(); ++odd) {
      if (shapes_[odd] % 2 == 0) continue;
      for (std::size_t even = 0; even < odd; ++even)
        if (shapes_[even] % 2 == 0 && lastRow_[even] == lastRow_[odd]) ++count;
    }
    return count;
  }

  double panelPenalty(std::size_t p) {
    const PanelDesign& design = designs_[panelShape_[p]];
    const double rules = checkComplete(design.skin, rules_[p]) ? 0.0 : kRuleBreak;
    if (totals_[p]->stiffeners == nullptr) return shortfall(*totals_[p], design, rules, margin_);
    // A stiffened panel is judged first by its surfaces' ceilings over every stiffener (one
    // value each); only a skin they let through is given its best stiffener, the costlier search.
    double optimistic = rules;
    for (std::size_t s = 0; s < ceilings_[p].size(); ++s)
      optimistic += shortfallOf(totals_[p]->surfaces[s], fullObjective(ceilings_[p][s], design));
    if (optimistic > rules) return optimistic;
    const StiffenedCost& cost = stiffenedCost(p, design.skin);
    if (goal_ == AnnealingGoal::LargestMargin) margin_ = std::min(margin_, cost.margin);
    return rules + cost.shortfall;
  }

  // A stiffened panel's shortfall and margin with its best stiffener (for a first design, any
  // that meets every requirement), kept per skin in a table of recent skins: most moves leave
  // most panels' skins as they were, and the walk comes back to skins it has met.
  struct StiffenedCost {
    StackingSequence skin;
    double shortfall = 0.0;
    double margin = 0.0;
    int stiffener = -1;
  };
  static constexpr std::size_t kRecentSkins = 4096;
  const StiffenedCost& stiffenedCost(std::size_t p, const StackingSequence& skin) {
    std::vector<StiffenedCost>& recent = recentStiffened_[p];
    if (recent.empty()) recent.resize(kRecentSkins);
    StiffenedCost& entry = recent[skin.hash() % kRecentSkins];
    if (entry.skin.plyCount() == skin.plyCount() && entry.skin == skin) return entry;
    StiffenerPick pick;
    totals_[p]->stiffeners->best(skin, pick, goal_ == AnnealingGoal::FirstDesign, lastStiffener_[p]);
    lastStiffener_[p] = pick.stiffener;
    entry.stiffener = pick.stiffener;
    entry.skin = skin;
    entry.shortfall = 0.0;
    for (std::size_t s = 0; s < pick.values.size(); ++s) entry.shortfall += shortfallOf(totals_[p]->surfaces[s], pick.values[s]);
    entry.margin = pick.margin;
    return entry;
  }

  // `start` plus the required surfaces' relative shortfall; for the largest margin, `margin`
  // lowered to the design's smallest margin.
  double shortfall(const PanelTotal& total, const PanelDesign& design, double start, double& margin) const {
    double sum = start;
    const bool everySurface = goal_ == AnnealingGoal::LargestMargin;
    for (const ModeSurface& mode : total.surfaces) {
      if (!mode.required && !everySurface) continue;
      const double value = fullObjective(mode.value, design);
      if (everySurface) margin = std::min(margin, value - mode.limit);
      if (!mode.required || value >= mode.limit) continue;
      sum += shortfallOf(mode, value);
    }
    return sum;
  }

  // A required surface's shortfall relative to its limit (nothing when it is met).
  static double shortfallOf(const ModeSurface& mode, double value) {
    if (!mode.required || value >= mode.limit) return 0.0;
    const double scale = std::fabs(mode.limit) > 0.0 ? std::fabs(mode.limit) : 1.0;
    return std::isnan(value) ? 1.0 : (mode.limit - value) / scale;
  }

  // The guide as a design, if the independent check passes it.
  bool holdsDesign(AnnealingOutcome& outcome) const {
    BlendedDesign design;
    design.plies = plies_;
    for (const Row& row : guide_) design.guide.push_back({row.code, levelOfRank_[row.rank - 1]});
    design.laminates = laminatesFromGuide(design.guide, plies_);
    chooseStiffeners(structure_, design);
    const BlendVerdict verdict = checkBlendedDesign(structure_, design);
    if (!verdict.holds()) return false;
    outcome.found = true;
    outcome.design = std::move(design);
    outcome.margin = verdict.margin;
    return true;
  }

  int randomCode() { return below(3); }
  // A draw in [0, n), the same on every platform for a seed.
  int below(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }
  double uniform() { return static_cast<double>(random_() >> 11) * 0x1.0p-53; }

  const AnnealingGoal goal_;
  const BlendedStructure& structure_;
  const std::vector<int>& plies_;
  std::mt19937_64 random_;
  std::vector<int> classes_;
  int covered_ = 0;
  int positions_ = 0;
  std::vector<int> levelOfRank_;  // the level of each rank: the thinnest class that keeps it
  std::vector<int> shapes_;  // the distinct totals, ascending
  std::vector<int> shapeClass_;
  std::vector<PanelDesign> designs_;  // per shape: its laminate cut from the guide
  std::vector<int> lastRow_;          // per shape: the guide row of its innermost position
  std::vector<int> panelShape_;
  std::vector<LaminateRules> rules_;
  std::vector<const PanelTotal*> totals_;
  std::vector<ClassPair> pairs_;
  std::vector<Row> guide_;
  std::vector<Row> before_;  // the guide before the change being judged
  double penaltyOfLast_ = 0.0;  // of the guide judged last
  double margin_ = 0.0;         // its smallest margin, for the largest margin
  double bestMargin_ = -std::numeric_limits<double>::infinity();
  std::vector<std::vector<FullObjective>> ceilings_;  // a stiffened panel's skin-only ceilings
  std::vector<std::vector<StiffenedCost>> recentStiffened_;  // per panel, by the skin's hash
  std::vector<int> lastStiffener_;                          // per panel, tried first
  std::vector<Row> marginGuide_;  // the design of the largest smallest margin met
};

}  // namespace

AnnealingOutcome annealGuide(const BlendedStructure& structure, const std::vector<int>& plies,
                             std::int64_t evaluations, std::uint64_t seed, const StopRequest* stop,
                             const BlendedDesign* near, AnnealingGoal goal) {
  return GuideAnnealer(structure, plies, seed, goal).run(evaluations, stop, near);
}

}  // namespace kelm
