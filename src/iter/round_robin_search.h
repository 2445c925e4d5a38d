#pragma once

#include <cstdint>

#include "iter/alternating_search.h"

namespace kelm {

// The iterative method with exhaustive turns: every stacking sequence of the active laminate
// that the rules allow is evaluated. The first stiffener is drawn at random (seeded by the
// caller) unless its ply numbers are fixed.
class RoundRobinSearch : public AlternatingSearch {
 public:
  RoundRobinSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                   const LaminateRules& stiffenerRules, std::uint32_t seed);

 protected:
  StackingSequence initialStiffener(const StackingSequence& emptyStiffener) override;
  void prepareTurn(const ActiveDesign&) override {}
  void searchTurn(const ActiveDesign& candidate) override;
  void writeStepLine() const override;

 private:
  void evaluateLeaf(ActiveDesign& leaf);

  std::uint32_t seed_;
};

}  // namespace kelm
