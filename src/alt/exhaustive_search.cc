#include "alt/exhaustive_search.h"

#include <iostream>

#include "laminate/design_rules.h"

namespace kelm {

namespace {
constexpr int kSearchedCodes = 3;
constexpr int kProgressInterval = 10000;
}  // namespace

void ExhaustiveSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  StackingSequence skin;
  StackingSequence stiffener;
  skin.setPlyTotal(skinPlyTotal);
  stiffener.setPlyTotal(stiffenerPlyTotal);
  skinPositions_ = skin.plyCount();
  stiffenerPositions_ = stiffener.plyCount();
  enumerate(skin, stiffener, 1);
}

// Positions 1..ns are the skin's, ns+1..ns+nt the stiffener's.
void ExhaustiveSearch::enumerate(const StackingSequence& skin, const StackingSequence& stiffener,
                                 int position) {
  const int ns = skinPositions_;
  for (int code = 0; code < kSearchedCodes; ++code) {
    if (position <= ns) {
      StackingSequence child = skin;
      child.setTheta(position, code);
      if (checkPartial(child, skinRules_)) enumerate(child, stiffener, position + 1);
    } else {
      StackingSequence child = stiffener;
      child.setTheta(position - ns, code);
      if (!checkPartial(child, stiffenerRules_)) continue;
      if (position == ns + stiffenerPositions_)
        evaluateLeaf(skin, child);
      else
        enumerate(skin, child, position + 1);
    }
  }
}

void ExhaustiveSearch::evaluateLeaf(const StackingSequence& skin,
                                    const StackingSequence& stiffener) {
  ++totalSteps_;
  if (totalSteps_ % kProgressInterval == 0) std::cerr << "step " << totalSteps_ << " ...\r";
  PanelDesign design;
  design.skin = skin;
  design.stiffener = stiffener;
  evaluateAndEnter(design);
}

void ExhaustiveSearch::writeStepSuffix() const { std::cout << " done." << '\n'; }

}  // namespace kelm
