#pragma once

#include <cstdint>

#include "search/active_design.h"
#include "search/best_first_heap.h"

namespace kelm {

// An open design of the simultaneous search: the partly set panel, which laminate its children
// extend, and the joint bound of everything it can still become.
struct OpenDesign : ActiveDesign {
  double bound = 0.0;
};

struct DesignHeapPolicy {
  static double key(const OpenDesign& open) { return open.bound; }
  static constexpr std::int64_t kLimit = 0;  // grows without limit
  static void atLimit() {}
};

// Best-first store of open designs: (ns + nt)^2 slots at first, ten times more whenever full.
class DesignHeap : public BestFirstHeap<OpenDesign, DesignHeapPolicy> {
 public:
  explicit DesignHeap(int positions)
      : BestFirstHeap(static_cast<std::int64_t>(positions) * static_cast<std::int64_t>(positions)) {}
};

}  // namespace kelm
