#include "alt/local_improvement.h"

#include <utility>
#include <vector>

#include "laminate/design_rules.h"
#include "search/panel_value.h"

namespace kelm {

namespace {

using Kind = LocalImprovement::Kind;

// The codes of a laminate after a change.
void changedCodes(const StackingSequence& sequence, const LocalImprovement::Change& change,
                  int* codes) {
  for (int p = 1; p <= sequence.plyCount(); ++p) codes[p - 1] = sequence.codeAt(p);
  const int first = change.first - 1;
  const int second = change.second - 1;
  switch (change.kind) {
    case Kind::kSet: codes[first] = change.code; break;
    case Kind::kExchange: std::swap(codes[first], codes[second]); break;
    case Kind::kSetPair:
      codes[first] = change.code;
      codes[second] = change.secondCode;
      break;
  }
}

// The laminate again, its positions set in order from an empty one, with one change applied.
StackingSequence rebuilt(const StackingSequence& sequence, const LocalImprovement::Change& change) {
  std::vector<int> codes(sequence.plyCount());
  changedCodes(sequence, change, codes.data());
  StackingSequence result;
  result.setPlyTotal(static_cast<int>(sequence.halfPlies() * 2));
  for (int p = 1; p <= sequence.plyCount(); ++p) result.setTheta(p, codes[p - 1]);
  return result;
}

// Two positions take new codes together only where the number of +-45 positions changes by an
// even number: the moves the balance rule lets through and single changes cannot make.
void addPairChanges(const StackingSequence& sequence, bool skin,
                    std::vector<LocalImprovement::Change>& changes, int p) {
  const int n = sequence.plyCount();
  const int was = sequence.codeAt(p);
  for (int q = p + 1; q <= n; ++q) {
    const int wasQ = sequence.codeAt(q);
    for (int a = 0; a < kSearchedCodes; ++a) {
      for (int b = 0; b < kSearchedCodes; ++b) {
        if (a == was || b == wasQ) continue;
        const int change45 = (a == kCode45) + (b == kCode45) - (was == kCode45) - (wasQ == kCode45);
        if (change45 % 2 == 0) changes.push_back({skin, Kind::kSetPair, p, q, a, b});
      }
    }
  }
}

void addChanges(const StackingSequence& sequence, bool skin,
                std::vector<LocalImprovement::Change>& changes) {
  const int n = sequence.plyCount();
  for (int p = 1; p <= n; ++p) {
    for (int code = 0; code < kSearchedCodes; ++code)
      if (code != sequence.codeAt(p)) changes.push_back({skin, Kind::kSet, p, 0, code, 0});
    for (int q = p + 1; q <= n; ++q)
      if (sequence.codeAt(p) != sequence.codeAt(q))
        changes.push_back({skin, Kind::kExchange, p, q, 0, 0});
    addPairChanges(sequence, skin, changes, p);
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

LocalImprovement::LocalImprovement(const PanelObjectives& objectives,
                                   const LaminateRules& skinRules,
                                   const LaminateRules& stiffenerRules,
                                   const ExcludedDesigns* excluded,
                                   const StopRequest* stop)
    : objectives_(objectives),
      skinRules_(skinRules),
      stiffenerRules_(stiffenerRules),
      excluded_(excluded),
      stop_(stop) {}

bool LocalImprovement::tryChange(const PanelDesign& design, const Change& change,
                                 PanelDesign& candidate, RankedStarts* seen) const {
  const StackingSequence& changed = change.skin ? design.skin : design.stiffener;
  StackingSequence laminate = rebuilt(changed, change);
  if (!checkComplete(laminate, change.skin ? skinRules_ : stiffenerRules_)) return false;
  candidate.skin = change.skin ? laminate : design.skin;
  candidate.stiffener = change.skin ? design.stiffener : laminate;
  if (excluded_ && excluded_->contains(candidate)) return false;
  candidate.value = objectives_.value(candidate);
  if (seen) {
    const bool allowed = !objectives_.hasExtras() || objectives_.meetsRequirements(candidate);
    if (allowed) seen->offer(candidate);
    return allowed && candidate.value > design.value;
  }
  if (!(candidate.value > design.value)) return false;
  return !objectives_.hasExtras() || objectives_.meetsRequirements(candidate);
}

long long LocalImprovement::improve(PanelDesign& design, CRand& random, long long budget,
                                    RankedStarts* seen) const {
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
      if (spent == budget || (stop_ && stop_->requested())) break;
      ++spent;
      if (!tryChange(design, change, candidate, seen)) continue;
      design = candidate;
      improved = true;
      break;
    }
  }
  return spent;
}

}  // namespace kelm
