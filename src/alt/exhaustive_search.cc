#include "alt/exhaustive_search.h"

#include <iostream>
#include <vector>

#include "base/stop_request.h"
#include "laminate/design_rules.h"
#include "search/progress_line.h"

namespace kelm {

void ExhaustiveSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  StackingSequence skin;
  StackingSequence stiffener;
  skin.setPlyTotal(skinPlyTotal);
  stiffener.setPlyTotal(stiffenerPlyTotal);
  skinPositions_ = skin.plyCount();
  stiffenerPositions_ = stiffener.plyCount();
  enumerate(skin, stiffener);
  rankResults();
}

// Positions 1..ns are the skin's, ns+1..ns+nt the stiffener's (none for a single laminate); depth first, codes in order at
// each position. The explicit stacks hold each laminate as set up to every depth (a call per
// position would overflow the call stack for laminates of tens of thousands of plies).
void ExhaustiveSearch::enumerate(const StackingSequence& emptySkin,
                                 const StackingSequence& emptyStiffener) {
  const int ns = skinPositions_;
  const int lastPosition = ns + stiffenerPositions_;
  std::vector<StackingSequence> skins{emptySkin};
  std::vector<StackingSequence> stiffeners{emptyStiffener};
  std::vector<int> nextCode{0};  // the next code to try at each open position
  while (!nextCode.empty() && !stopRequested()) {
    const int position = static_cast<int>(nextCode.size());
    if (nextCode.back() == kSearchedCodes) {
      nextCode.pop_back();
      if (position > 1) (position - 1 <= ns ? skins : stiffeners).pop_back();
      continue;
    }
    const int code = nextCode.back()++;
    if (position <= ns) {
      StackingSequence child = skins.back();
      child.setTheta(position, code);
      if (!checkPartial(child, skinRules_)) continue;
      if (position == lastPosition) {  // a single laminate: no stiffener positions follow
        evaluateLeaf(child, stiffeners.back());
        continue;
      }
      skins.push_back(std::move(child));
      nextCode.push_back(0);
    } else {
      StackingSequence child = stiffeners.back();
      child.setTheta(position - ns, code);
      if (!checkPartial(child, stiffenerRules_)) continue;
      if (position == lastPosition) {
        evaluateLeaf(skins.back(), child);
      } else {
        stiffeners.push_back(std::move(child));
        nextCode.push_back(0);
      }
    }
  }
}

void ExhaustiveSearch::evaluateLeaf(const StackingSequence& skin,
                                    const StackingSequence& stiffener) {
  ++totalSteps_;
  if (totalSteps_ % kLeafProgressInterval == 0) showProgress(progress_.stepCounterShown, totalSteps_);
  progress_.publish(totalSteps_, 0, best());
  PanelDesign design;
  design.skin = skin;
  design.stiffener = stiffener;
  evaluateAndEnter(design);
}

void ExhaustiveSearch::writeStepSuffix() const { std::cout << " done." << '\n'; }

}  // namespace kelm
