#include "blend/panel_completions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "blend/panel_bounds.h"
#include "laminate/design_rules.h"
#include "laminate/panel_design.h"
#include "search/search_constants.h"

namespace kelm {

// Grows the panel's laminate outer to inner, cut where its rules fail or its surfaces' bounds
// show that no completion meets the requirements; a subtree that holds no laminate leaves no
// node behind.
class CompletionBuilder {
 public:
  CompletionBuilder(PanelCompletions& set, const BlendPanel& panel, int plies, std::int64_t laminateLimit,
                    std::int64_t positionLimit, const StopRequest* stop)
      : set_(set), bounds_(panel, plies), laminateLimit_(laminateLimit), positionLimit_(positionLimit), stop_(stop) {
    path_.assign(halfPositions(plies) + 1, PanelDesign());
    for (PanelDesign& laminate : path_) {
      laminate.skin.setPlyTotal(plies);
      laminate.stiffener.setPlyTotal(0);
    }
  }

  void build() {
    set_.nodes_.emplace_back();
    set_.complete_ = grow(PanelCompletions::kRoot, 0);
    if (!set_.complete_) set_.nodes_.clear();
    set_.nodes_.shrink_to_fit();  // grown by doubling: up to half of it would stand empty
  }

 private:
  // False when a limit was passed.
  bool grow(int node, int depth) {
    if (depth + 1 == static_cast<int>(path_.size())) {
      double margin = 0.0;
      if (bounds_.completeHolds(path_[depth].skin, false, 0.0, margin)) {
        set_.nodes_[node].bestMargin = roundedUp(margin);
        ++set_.laminates_;
        found_ = true;
      }
      return set_.laminates_ <= laminateLimit_;
    }
    float best = -std::numeric_limits<float>::infinity();
    bool below = false;
    for (int code = kCode0; code <= kCode90; ++code) {
      if (++positions_ > positionLimit_) return false;
      if ((positions_ & 4095) == 0 && stop_ != nullptr && stop_->requested()) return false;
      PanelDesign& laminate = path_[depth + 1];
      laminate.skin = path_[depth].skin;
      laminate.skin.setTheta(depth + 1, code);
      if (checkPartial(laminate.skin, bounds_.rules()) &&
          (laminate.skin.complete() || bounds_.canStillWin(laminate, false, 0.0))) {
        const int child = static_cast<int>(set_.nodes_.size());
        set_.nodes_.emplace_back();
        found_ = false;
        if (!grow(child, depth + 1)) return false;
        if (!found_) {
          set_.nodes_.pop_back();  // the last node made, and nothing below it
        } else {
          set_.nodes_[node].child[code] = child;
          best = std::max(best, set_.nodes_[child].bestMargin);
          below = true;
        }
      }
    }
    set_.nodes_[node].bestMargin = best;
    found_ = below;
    return true;
  }

  static float roundedUp(double margin) {
    const float rounded = static_cast<float>(margin);
    return rounded < margin ? std::nextafter(rounded, std::numeric_limits<float>::infinity()) : rounded;
  }

  PanelCompletions& set_;
  PanelBounds bounds_;
  std::vector<PanelDesign> path_;  // the laminate at each depth
  std::int64_t laminateLimit_;
  std::int64_t positionLimit_;
  std::int64_t positions_ = 0;
  const StopRequest* stop_;
  bool found_ = false;  // whether the subtree grown last holds a laminate
};

PanelCompletions::PanelCompletions(const BlendPanel& panel, int plies, std::int64_t laminateLimit,
                                   std::int64_t positionLimit, const StopRequest* stop) {
  CompletionBuilder(*this, panel, plies, laminateLimit, positionLimit, stop).build();
}

namespace {

// Which panels hold the same laminates at a total. A panel's surfaces are its own (two panels'
// surfaces of one name may differ in a structure built in memory), so a panel with surfaces is
// known by its name; one without any (a plate held only by its rules, as under fixed ply
// numbers) holds exactly the laminates its rules allow, shared by every panel of those rules.
std::string laminatesKey(const BlendPanel& panel, int plies) {
  const PanelTotal* total = panel.at(plies);
  if (total == nullptr || !total->surfaces.empty() || panel.stiffener.plies > 0 || panel.rules.excludeListed)
    return "panel " + panel.name;
  const LaminateRules& r = panel.rules;
  std::string key = "rules";
  for (const double field : {double(r.balance), double(r.fourPlyRule), double(r.plyNumbersFixed), double(r.ply0),
                             double(r.ply45), double(r.ply90), r.minSharePercent, double(r.maxRun),
                             double(r.noCrossPlyJump), double(r.outer45)})
    key += " " + std::to_string(field);
  return key;
}

}  // namespace

const PanelCompletions* CompletionsCache::at(const BlendPanel& panel, int plies, std::int64_t budget,
                                             const StopRequest* stop) {
  const std::string name = laminatesKey(panel, plies);
  const auto key = std::make_pair(name, plies);
  const auto known = sets_.find(key);
  if (known != sets_.end()) return known->second.get();
  std::int64_t limit = std::min(kLaminateLimit, kHeldLimit - held_);
  if (budget > 0) limit = std::min(limit, budget);
  const auto thinner = givenUp_.find(name);
  if (limit <= 0 || (thinner != givenUp_.end() && thinner->second.first <= plies && thinner->second.second >= limit))
    return nullptr;
  auto set = std::make_unique<PanelCompletions>(panel, plies, limit, limit * kPositionsPerLaminate, stop);
  if (!set->complete() && stop != nullptr && stop->requested()) return nullptr;
  if (!set->complete()) {
    auto& given = givenUp_.try_emplace(name, plies, limit).first->second;
    if (plies < given.first) given = {plies, limit};
    if (plies == given.first) given.second = std::max(given.second, limit);
    return nullptr;
  }
  held_ += set->laminates();
  return (sets_[key] = std::move(set)).get();
}

}  // namespace kelm
