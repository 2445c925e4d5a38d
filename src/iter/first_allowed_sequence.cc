#include "iter/first_allowed_sequence.h"

#include "laminate/design_rules.h"
#include "base/fatal.h"
#include "iter/branch_store.h"

namespace kelm {

StackingSequence firstAllowedSequence(const StackingSequence& empty, const LaminateRules& rules,
                                      bool completeCheck) {
  const int n = empty.plyCount();
  BranchStack stack(n);
  stack.push(Branch{empty});
  while (stack.count() > 0) {
    const Branch branch = stack.pop();
    const int position = branch.sequence.setCount() + 1;
    for (int code = 0; code < kSearchedCodes; ++code) {
      StackingSequence child = branch.sequence;
      child.setTheta(position, code);
      if (!checkPartial(child, rules)) continue;
      if (position < n) {
        stack.push(Branch{std::move(child)});
      } else if (!completeCheck || checkComplete(child, rules)) {
        return child;
      }
    }
  }
  fatal(Stream::Err, "cannot get initial stiffener! ", true);
}

}  // namespace kelm
