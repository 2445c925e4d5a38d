#pragma once

#include <cstdint>
#include <vector>

#include "laminate/stacking_sequence.h"
#include "search/best_first_heap.h"

namespace kelm {

// An open branch of one laminate's search: the partly set sequence and the upper bound of
// everything it can still become.
struct Branch {
  StackingSequence sequence;
  double bound = 0.0;
};

inline constexpr std::int64_t kBranchHeapLimit = 750000;

struct BranchHeapPolicy {
  static double key(const Branch& branch) { return branch.bound; }
  static constexpr std::int64_t kLimit = kBranchHeapLimit;
  [[noreturn]] static void atLimit();
};

// Best-first store of open branches of one laminate: n x n slots at first, ten times more
// whenever full, never more than 750000.
class BranchHeap : public BestFirstHeap<Branch, BranchHeapPolicy> {
 public:
  explicit BranchHeap(int n) : BestFirstHeap(initialCapacity(n)) {}
  // Empty again for a laminate of n positions, keeping the storage of earlier turns.
  void reset(int n) { BestFirstHeap::reset(initialCapacity(n)); }

 private:
  static std::int64_t initialCapacity(int n) {
    return static_cast<std::int64_t>(n) * static_cast<std::int64_t>(n);
  }
};

// Depth-first store of 2n branches. A push lands below up to two siblings (same setCount)
// whose bounds are higher by at least 1e-13, so the most promising child is popped first.
class BranchStack {
 public:
  explicit BranchStack(int n);
  int count() const { return count_; }
  int capacity() const { return capacity_; }
  void push(Branch branch);
  Branch pop();

 private:
  std::vector<Branch> records_;
  int count_ = 0;
  int capacity_;
};

}  // namespace kelm
