#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_structure.h"
#include "blend/count_vector_search.h"
#include "blend/lightest_blend.h"
#include "blend/panel_completions.h"

namespace kelm {

// What is known of panels that cannot be blended together at some totals: pairs (one laminate,
// one ply order, or neighbours that must place their drops) and connected groups of three to six
// neighbours, and the larger sides that one or two joints cut off (the arms of a horseshoe). Each pair or group of totals is searched alone once and remembered, so that every
// count vector holding it is cut without a search of its own. What is ruled out goes to
// `record`, with the positions searched.
class NeighbourConflicts {
 public:
  static constexpr std::size_t kLargestGroup = 6;

  NeighbourConflicts(const BlendedStructure& structure, LightestBlend& record, CompletionsCache& completions);

  void setStop(const StopRequest* stop) { stop_ = stop; }
  // The size of the largest small group (before prepare); the sides of narrow cuts are larger.
  void limitSmallGroups(std::size_t largest) { smallGroupLimit_ = largest; }
  // The groups of neighbours and the covering a pair or group is searched with, once each
  // panel's totals are known.
  void prepare(const std::vector<std::vector<int>>& options);

  bool neighbours(int p, int q) const;
  // Whether panel q at totals[q] can be blended with every earlier panel at its total, as far as
  // pairs and the groups already searched tell.
  bool fitsEarlierPanels(int q, const std::vector<int>& totals);
  // Whether no group of the vector (of up to `largest` panels) is known, within `budget`
  // positions each, to hold no design.
  bool groupsHold(const std::vector<int>& totals, std::int64_t budget, std::size_t largest);
  // Whether no class of the vector (in a table, panels of one class share a laminate) is known,
  // within `budget` positions, to hold no design; a class that fails is cut down to a smaller
  // group of its panels that still fails.
  bool classGroupsHold(const std::vector<int>& totals, std::int64_t budget);
  // Whether no side of a narrow cut is known, within `budget` positions each (a side met again
  // undecided, longer), to hold no design at these totals.
  bool cutSidesHold(const std::vector<int>& totals, std::int64_t budget);
  // Whether each pair of neighbours, each group of up to `largest` panels (within `budget`
  // positions each) and each side of a narrow cut (within `sideBudget`) may still hold a design
  // whose smallest margin beats `margin`. A part that cannot beat it proves that the whole vector
  // cannot: the smallest margin of a design is never above that of any of its parts.
  bool partsMayBeat(const std::vector<int>& totals, double margin, std::int64_t budget, std::size_t largest,
                    std::int64_t sideBudget);
  // The sides of narrow cuts searched as groups, smaller first.
  std::vector<std::vector<int>> cutSides() const;
  // A group proved elsewhere to hold no design at these totals.
  void learnGroup(const std::vector<int>& members, const std::vector<int>& plies);
  // The members and totals of the group groupsHold found failing last.
  const std::pair<std::vector<int>, std::vector<int>>& lastFailedGroup() const { return lastFailedGroup_; }

  // Checks that learn nothing: fixed ply numbers nest in every pair that must blend, and every
  // panel's neighbours can place its drops.
  bool numbersNestIn(const std::vector<int>& plies) const;
  bool everyDropFits(const std::vector<int>& plies) const;
  bool dropsFit(const std::vector<int>& plies, int p) const;

 private:
  bool stopped() const { return stop_ != nullptr && stop_->requested(); }
  void findGroups();
  bool knownNotToHold(std::size_t group, const std::vector<int>& totals);
  void rememberFailure(const std::vector<int>& members, const std::vector<int>& plies);
  bool groupHolds(const std::vector<int>& members, const std::vector<int>& totals, std::int64_t budget);
  std::int64_t sideBudget(const std::vector<int>& members, const std::vector<int>& totals, std::int64_t budget) const;
  void reportGroup(const std::vector<int>& members, const std::vector<int>& plies);
  VectorSearchOutcome searchGroup(const std::vector<int>& members, const std::vector<int>& plies,
                                  std::int64_t budget, const double* marginToBeat = nullptr);
  bool partMayBeat(const std::vector<int>& members, const std::vector<int>& totals, double margin,
                   std::int64_t budget);
  bool pairHolds(int p, int tp, int q, int tq, bool adjacent);
  bool numbersNest(int p, int tp, int q, int tq);
  bool learn(int p, int tp, int q, int tq, bool holds, const std::string& why);
  std::string dropsConflict(int tp, int tq, bool adjacent) const;

  static constexpr std::int64_t kPairPositionLimit = 200000;
  // A side met again is searched this many times as long as the last time, up to the cap times
  // the budget the vector asks for.
  static constexpr std::int64_t kSideBudgetGrowth = 4;
  static constexpr std::int64_t kSideBudgetCap = 16;

  struct GroupKnowledge {
    bool decided = false;
    bool holds = true;
    std::int64_t searchedWithin = 0;  // positions of the longest search that left it undecided
  };

  const BlendedStructure& structure_;
  LightestBlend& record_;
  CompletionsCache& completions_;
  const StopRequest* stop_ = nullptr;
  int pairCovering_ = 0;
  std::map<std::tuple<int, int, int, int>, bool> pairs_;
  std::size_t smallGroupLimit_ = kLargestGroup;
  // Connected groups of three to six panels (the first smallGroups_), then the sides of narrow
  // cuts (up to sidesEnd_), then the groups of one class learnt failing.
  std::vector<std::vector<int>> groups_;
  std::size_t smallGroups_ = 0;
  std::size_t sidesEnd_ = 0;  // beyond: groups learnt failing that are not searched as groups (classes)
  std::map<std::pair<std::vector<int>, std::vector<int>>, GroupKnowledge> groupsKnown_;
  // The enumeration asks of every prefix of every vector whether it fits, so what it asks is
  // kept at hand: neighbours as a matrix, and for each panel the groups it closes (it is their
  // last member) that are known to fail at some totals, with those totals.
  std::vector<std::vector<char>> adjacency_;
  std::vector<std::vector<std::size_t>> failingGroupsClosedBy_;
  std::vector<std::set<std::vector<int>>> failedTotals_;  // per group
  std::map<std::vector<int>, std::size_t> groupIndex_;
  std::vector<int> groupPlies_;  // scratch: a group's totals
  std::pair<std::vector<int>, std::vector<int>> lastFailedGroup_;  // members and their totals
  // Per part (members and totals), the smallest margin it was proved unable to beat: it beats
  // no larger one either, and the margin to beat only rises.
  std::map<std::pair<std::vector<int>, std::vector<int>>, double> cannotBeat_;
};

}  // namespace kelm
