#pragma once

#include "alt/alternative_search.h"

namespace kelm {

// Every pair of stacking sequences whose positions all pass the rules, skin positions first,
// codes 0, 1, 2 at each position; each complete pair is valued with the full objective.
class ExhaustiveSearch : public AlternativeSearch {
 public:
  using AlternativeSearch::AlternativeSearch;

  void run(int skinPlyTotal, int stiffenerPlyTotal) override;

 protected:
  void writeStepSuffix() const override;

 private:
  void enumerate(const StackingSequence& emptySkin, const StackingSequence& emptyStiffener);
  void evaluateLeaf(const StackingSequence& skin, const StackingSequence& stiffener);
};

}  // namespace kelm
