#include "iter/branch_store.h"

#include <new>
#include <utility>

#include "base/fatal.h"
#include "search/search_constants.h"

namespace kelm {

// Both store messages keep their own wording ("has exceed"): scripts match them.
void BranchHeapPolicy::atLimit() {
  fatal(Stream::Err, "heap size has exceed the memory size limit abnormally!", true,
        FailureKind::Memory);
}

BranchStack::BranchStack(int n) : capacity_(2 * n) {
  try {
    records_.resize(capacity_ > 0 ? capacity_ : 0);
  } catch (const std::bad_alloc&) {
    fatal(Stream::Err, "Allocation error", true, FailureKind::Memory);
  }
}

void BranchStack::push(Branch branch) {
  if (count_ + 1 > capacity_)
    fatal(Stream::Err, "stack size has exceed the memory size limit !", true, FailureKind::Memory);
  ++count_;
  const int m = count_;
  const double key = branch.bound + kTieTolerance;
  auto belowSibling = [&](const Branch& sibling) {
    return sibling.sequence.setCount() == branch.sequence.setCount() && !(key > sibling.bound);
  };
  if (m == 1 || !belowSibling(records_[m - 2])) {
    records_[m - 1] = std::move(branch);
    return;
  }
  records_[m - 1] = std::move(records_[m - 2]);
  if (m >= 3 && belowSibling(records_[m - 3])) {
    records_[m - 2] = std::move(records_[m - 3]);
    records_[m - 3] = std::move(branch);
  } else {
    records_[m - 2] = std::move(branch);
  }
}

Branch BranchStack::pop() {
  --count_;
  return std::move(records_[count_]);
}

}  // namespace kelm
