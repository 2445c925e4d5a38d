#include "blend/neighbour_conflicts.h"

#include <algorithm>
#include <memory>
#include <set>

#include "blend/structure_cuts.h"
#include "blend/table_search.h"

namespace kelm {

namespace {

// Fixed ply numbers of two laminates of ha and hb half positions that must blend.
bool numbersFit(const LaminateRules& a, int ha, const LaminateRules& b, int hb) {
  if (!a.plyNumbersFixed || !b.plyNumbersFixed) return true;
  const int na[3] = {a.ply0, a.ply45, a.ply90}, nb[3] = {b.ply0, b.ply45, b.ply90};
  bool nest = true;
  for (int o = 0; o < 3; ++o) nest = nest && (ha == hb ? na[o] == nb[o] : ha > hb ? na[o] >= nb[o] : na[o] <= nb[o]);
  return nest;
}

}  // namespace

NeighbourConflicts::NeighbourConflicts(const BlendedStructure& structure, LightestBlend& record,
                                       CompletionsCache& completions)
    : structure_(structure), record_(record), completions_(completions) {
  const std::size_t n = structure_.panels.size();
  adjacency_.assign(n, std::vector<char>(n, 0));
  for (const auto& [a, b] : structure_.adjacent) adjacency_[a][b] = adjacency_[b][a] = 1;
  failingGroupsClosedBy_.resize(n);
}

void NeighbourConflicts::prepare(const std::vector<std::vector<int>>& options) {
  findGroups();
  pairCovering_ = structure_.blending.covering;
  for (const auto& panel : options) pairCovering_ = std::min(pairCovering_, halfPositions(panel.front()));
}

bool NeighbourConflicts::neighbours(int p, int q) const { return adjacency_[p][q] != 0; }

// Every pair of the panel with an earlier one that the blending constrains: in a table, totals
// of one class share a ply order; neighbours must place their drops. (Two neighbours alone blend
// edge-wise exactly when they blend by a table of their own.)
bool NeighbourConflicts::fitsEarlierPanels(int q, const std::vector<int>& totals) {
  for (int p = 0; p < q; ++p) {
    const bool adjacent = neighbours(p, q);
    const bool table = structure_.blending.form == BlendForm::Table;
    if ((table || adjacent) && !numbersNest(p, totals[p], q, totals[q])) return false;
    const bool oneOrder = table && halfPositions(totals[p]) == halfPositions(totals[q]);
    if (!oneOrder && !adjacent) continue;
    if (!pairHolds(p, totals[p], q, totals[q], adjacent)) return false;
    if (stopped()) return false;
  }
  for (std::size_t group : failingGroupsClosedBy_[q])
    if (knownNotToHold(group, totals)) return false;
  return !stopped();
}

// Groups are many more than pairs: they are searched only for the vector the enumeration takes
// up, and there after remembered, so that the enumeration cuts what they ruled out.
bool NeighbourConflicts::knownNotToHold(std::size_t group, const std::vector<int>& totals) {
  groupPlies_.clear();
  for (int p : groups_[group]) groupPlies_.push_back(totals[p]);
  return failedTotals_[group].count(groupPlies_) > 0;
}

// A group proved to hold no design at these totals, indexed for the enumeration's asking. A
// group of panels that are not all neighbours (panels of one class) is indexed when it first
// fails; it is never searched again for another vector, only asked.
void NeighbourConflicts::rememberFailure(const std::vector<int>& members, const std::vector<int>& plies) {
  auto index = groupIndex_.find(members);
  if (index == groupIndex_.end()) {
    index = groupIndex_.emplace(members, groups_.size()).first;
    groups_.push_back(members);
    failedTotals_.emplace_back();
  }
  if (failedTotals_[index->second].empty()) failingGroupsClosedBy_[members.back()].push_back(index->second);
  failedTotals_[index->second].insert(plies);
}

bool NeighbourConflicts::groupsHold(const std::vector<int>& totals, std::int64_t budget, std::size_t largest) {
  for (std::size_t g = 0; g < smallGroups_; ++g)
    if (groups_[g].size() <= largest && (!groupHolds(groups_[g], totals, budget) || stopped())) return false;
  return true;
}

// In a table, the panels of one class share one laminate wherever they are: those that need
// different laminates cannot all be of one class, neighbours or not. Pairs are the enumeration's;
// each class of three or more panels is searched as a group (one laminate for all), and when it
// holds no design, panels are left out while what is left still holds none, so that the
// conflict remembered is as small as the search shows and rules out every vector that keeps
// those panels at those totals.
bool NeighbourConflicts::classGroupsHold(const std::vector<int>& totals, std::int64_t budget) {
  if (structure_.blending.form != BlendForm::Table) return true;
  std::map<int, std::vector<int>> classes;
  for (std::size_t p = 0; p < totals.size(); ++p) classes[halfPositions(totals[p])].push_back(static_cast<int>(p));
  for (const auto& [half, members] : classes) {
    if (members.size() < 3 || groupHolds(members, totals, budget)) continue;
    if (stopped()) return false;
    std::vector<int> conflict = members;
    for (std::size_t i = 0; i < conflict.size() && conflict.size() > 2 && !stopped();) {
      std::vector<int> fewer = conflict;
      fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(i));
      if (groupHolds(fewer, totals, budget))
        ++i;
      else
        conflict = std::move(fewer);
    }
    // The smallest conflict is the one the run reports (a shared run passes it on).
    groupHolds(conflict, totals, budget);
    return false;
  }
  return true;
}

bool NeighbourConflicts::cutSidesHold(const std::vector<int>& totals, std::int64_t budget) {
  for (std::size_t g = smallGroups_; g < sidesEnd_; ++g)
    if (!groupHolds(groups_[g], totals, sideBudget(groups_[g], totals, budget)) || stopped()) return false;
  return true;
}

bool NeighbourConflicts::partsMayBeat(const std::vector<int>& totals, double margin, std::int64_t budget,
                                      std::size_t largest, std::int64_t sideBudget) {
  for (const auto& [a, b] : structure_.adjacent)
    if (!partMayBeat({std::min(a, b), std::max(a, b)}, totals, margin, budget) || stopped()) return false;
  for (std::size_t g = 0; g < sidesEnd_; ++g) {
    const bool side = g >= smallGroups_;
    if (!side && groups_[g].size() > largest) continue;
    if (!partMayBeat(groups_[g], totals, margin, side ? sideBudget : budget) || stopped()) return false;
  }
  return true;
}

// False only when the part alone, searched within `budget` positions, holds no design that
// beats `margin`.
bool NeighbourConflicts::partMayBeat(const std::vector<int>& members, const std::vector<int>& totals, double margin,
                                     std::int64_t budget) {
  std::vector<int> plies;
  for (int p : members) plies.push_back(totals[p]);
  auto key = std::make_pair(members, std::move(plies));
  const auto known = cannotBeat_.find(key);
  if (known != cannotBeat_.end() && known->second <= margin) return false;
  const VectorSearchOutcome outcome = searchGroup(key.first, key.second, budget, &margin);
  if (stopped() || outcome.status != VectorSearchOutcome::Status::Infeasible) return true;
  cannotBeat_[key] = known != cannotBeat_.end() ? std::min(known->second, margin) : margin;
  return false;
}

// A side keeps its totals across many count vectors (an arm stays as it is while the other arm
// and the panels between change), so a side left undecided is met again and again, and proved
// empty once it rules out every vector that holds it. Each time a vector asks again, the side is
// searched four times as long as the last time, up to kSideBudgetCap times the vector's own
// budget: the searches of one side add up to about 4/3 of its last, and a side that does hold a
// design, yet hides it, costs each vector at most a bounded share.
std::int64_t NeighbourConflicts::sideBudget(const std::vector<int>& members, const std::vector<int>& totals,
                                            std::int64_t budget) const {
  std::vector<int> plies;
  for (int p : members) plies.push_back(totals[p]);
  const auto known = groupsKnown_.find(std::make_pair(members, plies));
  if (known == groupsKnown_.end() || known->second.decided) return budget;
  return std::clamp(known->second.searchedWithin * kSideBudgetGrowth, budget, budget * kSideBudgetCap);
}

std::vector<std::vector<int>> NeighbourConflicts::cutSides() const {
  return {groups_.begin() + static_cast<std::ptrdiff_t>(smallGroups_),
          groups_.begin() + static_cast<std::ptrdiff_t>(sidesEnd_)};
}

// Connected groups of three to six panels, each in panel order, smaller first; then the sides of
// narrow cuts up to half the structure. A conflict that spans a whole arm is out of the small
// groups' reach, and the larger side holds most of the whole vector's work anyway.
void NeighbourConflicts::findGroups() {
  const int n = static_cast<int>(structure_.panels.size());
  std::set<std::vector<int>> found;
  std::vector<std::vector<int>> layer;
  for (int p = 0; p < n; ++p) layer.push_back({p});
  for (std::size_t size = 2; size <= smallGroupLimit_; ++size) {
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
  smallGroups_ = groups_.size();
  const std::vector<std::vector<int>> sides =
      sidesOfNarrowCuts(n, structure_.adjacent, std::max<std::size_t>(smallGroupLimit_ + 1, 3), n / 2);
  groups_.insert(groups_.end(), sides.begin(), sides.end());
  sidesEnd_ = groups_.size();
  for (std::size_t g = 0; g < groups_.size(); ++g) groupIndex_.emplace(groups_[g], g);
  failedTotals_.assign(groups_.size(), {});
}

// A group searched within `budget` positions (and remembered): false only when proved to hold no
// design; a group left undecided is taken as holding, and searched further when a later round
// asks for more.
bool NeighbourConflicts::groupHolds(const std::vector<int>& members, const std::vector<int>& totals,
                                    std::int64_t budget) {
  std::vector<int> plies;
  for (int p : members) plies.push_back(totals[p]);
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

void NeighbourConflicts::learnGroup(const std::vector<int>& members, const std::vector<int>& plies) {
  GroupKnowledge& known = groupsKnown_[std::make_pair(members, plies)];
  if (known.decided && !known.holds) return;
  known.decided = true;
  known.holds = false;
  reportGroup(members, plies);
}

void NeighbourConflicts::reportGroup(const std::vector<int>& members, const std::vector<int>& plies) {
  rememberFailure(members, plies);
  RuledOutGroup out{{}, plies, "cannot be blended together (searched)"};
  for (int p : members) out.panels.push_back(structure_.panels[p].name);
  record_.ruledOutGroups.push_back(out);
}

// The members alone at these totals, searched for a first design (beating the margin, when
// given) within `budget` positions. The
// covering is cut to the thinnest count any vector can have, so that what a group rules out no
// vector holds.
VectorSearchOutcome NeighbourConflicts::searchGroup(const std::vector<int>& members, const std::vector<int>& plies,
                                                    std::int64_t budget, const double* marginToBeat) {
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
  if (marginToBeat != nullptr) search->beatMargin(*marginToBeat);
  const VectorSearchOutcome outcome = search->run(stop_);
  record_.nodes += outcome.nodes;
  return outcome;
}

// Two panels alone: with equal half counts they share one ply order, otherwise the thinner is cut
// from the thicker (with the drop limit when they are neighbours). A pair that holds no design
// rules out every vector that holds it. Each pair of totals is searched once, and given up
// (nothing proved) after a bounded search. A vector's guide keeps its outer positions up to the
// covering or its thinnest panel's count; the pair takes the covering cut to the thinnest count
// any vector can have, so that what it rules out no vector holds.
bool NeighbourConflicts::pairHolds(int p, int tp, int q, int tq, bool adjacent) {
  const std::string conflict = dropsConflict(tp, tq, adjacent);
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
  record_.nodes += outcome.nodes;
  if (stopped()) return true;  // undecided, and not remembered
  const bool holds = outcome.status != VectorSearchOutcome::Status::Infeasible;
  const char* why = tp == tq                                 ? "cannot share one laminate (searched)"
                    : halfPositions(tp) == halfPositions(tq) ? "cannot share one ply order (searched)"
                                                             : "cannot be blended (searched)";
  return learn(p, tp, q, tq, holds, why);
}

bool NeighbourConflicts::numbersNestIn(const std::vector<int>& plies) const {
  for (std::size_t q = 0; q < plies.size(); ++q)
    for (std::size_t p = 0; p < q; ++p)
      if ((structure_.blending.form == BlendForm::Table || neighbours(static_cast<int>(p), static_cast<int>(q))) &&
          !numbersFit(structure_.panels[p].rules, halfPositions(plies[p]), structure_.panels[q].rules,
                      halfPositions(plies[q])))
        return false;
  return true;
}

// Fixed ply numbers of two panels that must blend (in a table any two; edge-wise neighbours):
// the thinner laminate is the thicker one with positions dropped, so it holds no more of any
// orientation, and one ply order (totals of one class) holds the same numbers. Learned once.
bool NeighbourConflicts::numbersNest(int p, int tp, int q, int tq) {
  const int ha = halfPositions(tp), hb = halfPositions(tq);
  if (numbersFit(structure_.panels[p].rules, ha, structure_.panels[q].rules, hb)) return true;
  const auto key = std::make_tuple(p, tp, q, tq);
  if (pairs_.find(key) != pairs_.end()) return false;
  return learn(p, tp, q, tq, false, ha == hb ? "fix other ply numbers in one ply order" : "fix ply numbers that do not nest");
}

bool NeighbourConflicts::learn(int p, int tp, int q, int tq, bool holds, const std::string& why) {
  pairs_[std::make_tuple(p, tp, q, tq)] = holds;
  if (!holds) record_.ruledOutPairs.push_back({structure_.panels[p].name, tp, structure_.panels[q].name, tq, why});
  return holds;
}

bool NeighbourConflicts::everyDropFits(const std::vector<int>& plies) const {
  for (int p = 0; p < static_cast<int>(plies.size()); ++p)
    if (!dropsFit(plies, p)) return false;
  return true;
}

bool NeighbourConflicts::dropsFit(const std::vector<int>& plies, int p) const {
  for (int q = 0; q < static_cast<int>(plies.size()); ++q)
    if (q != p && !dropsConflict(plies[p], plies[q], neighbours(p, q)).empty()) return false;
  return true;
}

// Too many positions for the thinner neighbour to drop in runs of at most maxDrops: runs sit
// after each of its kept positions from the last covered one on.
std::string NeighbourConflicts::dropsConflict(int tp, int tq, bool adjacent) const {
  if (!adjacent) return {};
  const BlendingRules& rules = structure_.blending;
  const int thick = std::max(halfPositions(tp), halfPositions(tq));
  const int thin = std::min(halfPositions(tp), halfPositions(tq));
  const int gaps = thin - std::min(pairCovering_, thin) + 1;
  if (thick - thin <= rules.maxDrops * gaps) return {};
  return "differ by more positions (" + std::to_string(thick - thin) + ") than runs of " +
         std::to_string(rules.maxDrops) + " can drop";
}

}  // namespace kelm
