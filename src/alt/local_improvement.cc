#include "alt/local_improvement.h"

#include <utility>
#include <vector>

#include "laminate/design_rules.h"
#include "search/panel_value.h"

namespace kelm {

namespace {

// The laminate again, its positions set in order from an empty one, with one change applied.
StackingSequence rebuilt(const StackingSequence& sequence, int first, int second, bool exchange) {
  StackingSequence result;
  result.setPlyTotal(static_cast<int>(sequence.halfPlies() * 2));
  for (int p = 1; p <= sequence.plyCount(); ++p) {
    int code = sequence.codeAt(p);
    if (exchange && p == first) code = sequence.codeAt(second);
    else if (exchange && p == second) code = sequence.codeAt(first);
    else if (!exchange && p == first) code = second;
    result.setTheta(p, code);
  }
  return result;
}

template <typename Change>
void addChanges(const StackingSequence& sequence, bool skin, std::vector<Change>& changes) {
  const int n = sequence.plyCount();
  for (int p = 1; p <= n; ++p) {
    for (int code = 0; code < kSearchedCodes; ++code)
      if (code != sequence.codeAt(p)) changes.push_back({skin, false, p, code});
    for (int q = p + 1; q <= n; ++q)
      if (sequence.codeAt(p) != sequence.codeAt(q)) changes.push_back({skin, true, p, q});
  }
}

template <typename T>
void shuffle(std::vector<T>& items, CRand& random) {
  for (std::size_t i = items.size(); i > 1; --i) {
    const std::size_t j = static_cast<std::size_t>(random.next()) % i;
    std::swap(items[i - 1], items[j]);
  }
}

}  // namespace

LocalImprovement::LocalImprovement(const FullObjective& objective, const LaminateRules& skinRules,
                                   const LaminateRules& stiffenerRules)
    : objective_(objective), skinRules_(skinRules), stiffenerRules_(stiffenerRules) {}

bool LocalImprovement::tryChange(const PanelDesign& design, const Change& change,
                                 PanelDesign& candidate) const {
  const StackingSequence& changed = change.skin ? design.skin : design.stiffener;
  StackingSequence laminate = rebuilt(changed, change.first, change.second, change.exchange);
  if (!checkComplete(laminate, change.skin ? skinRules_ : stiffenerRules_)) return false;
  candidate.skin = change.skin ? laminate : design.skin;
  candidate.stiffener = change.skin ? design.stiffener : laminate;
  candidate.value = fullObjective(objective_, candidate);
  return candidate.value > design.value;
}

long long LocalImprovement::improve(PanelDesign& design, CRand& random, long long budget) const {
  long long spent = 0;
  std::vector<Change> changes;
  PanelDesign candidate;
  bool improved = true;
  while (improved && spent < budget) {
    changes.clear();
    addChanges(design.skin, true, changes);
    addChanges(design.stiffener, false, changes);
    shuffle(changes, random);
    improved = false;
    for (const Change& change : changes) {
      if (spent == budget) break;
      ++spent;
      if (!tryChange(design, change, candidate)) continue;
      design = candidate;
      improved = true;
      break;
    }
  }
  return spent;
}

}  // namespace kelm
