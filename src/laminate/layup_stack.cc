#include "laminate/layup_stack.h"

namespace kelm {

namespace {

int angleOf(int code) { return code == kCode0 ? 0 : code == kCode90 ? 90 : 45; }

}  // namespace

LayupStack layupStack(const StackingSequence& half) {
  std::vector<int> outerHalf;
  bool nextPlus = true;
  for (int position = 1; position <= half.setCount(); ++position) {
    const int code = half.codeAt(position);
    if (code == kCode45 || code == kCodeMinus45) {
      outerHalf.push_back(nextPlus ? 45 : -45);
      nextPlus = !nextPlus;
    } else {
      outerHalf.push_back(angleOf(code));
    }
  }
  LayupStack stack;
  stack.angles = outerHalf;
  // The mirror image, without repeating the mid-plane ply of an odd total.
  const bool midPlane = half.midPly() && half.complete();
  for (auto it = outerHalf.rbegin() + (midPlane ? 1 : 0); it != outerHalf.rend(); ++it)
    stack.angles.push_back(*it);
  for (const int angle : stack.angles) {
    if (angle == 45) ++stack.plus45;
    if (angle == -45) ++stack.minus45;
  }
  return stack;
}

std::string layupText(const LayupStack& stack) {
  std::string text = "[";
  for (std::size_t i = 0; i < stack.angles.size(); ++i) {
    if (i > 0) text += '/';
    const int angle = stack.angles[i];
    text += (angle == 45 ? "+45" : std::to_string(angle));
  }
  return text + "]";
}

std::string signSentence(const LayupStack& stack) {
  std::string sentence =
      "signs: the +-45 plies of the half take +45 and -45 in turn from the outer surface "
      "inward, and the mirror half repeats them; ";
  if (stack.plus45 == stack.minus45)
    return sentence + "the laminate is balanced (" + std::to_string(stack.plus45) + " +45, " +
           std::to_string(stack.minus45) + " -45)";
  return sentence + "an odd number of +-45 plies in the half leaves it unbalanced (" +
         std::to_string(stack.plus45) + " +45, " + std::to_string(stack.minus45) + " -45)";
}

}  // namespace kelm
