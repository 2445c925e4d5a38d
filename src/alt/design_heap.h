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

// The same open design as the store keeps it while it waits, for laminates of up to 64
// positions: only what cannot be recomputed (the codes of both laminates, how many positions
// of each are set, which one is extended next, the bound). The lamination parameters are
// rebuilt when it is popped, by replaying its plies in order, exactly as the tree built them.
// 48 bytes, 60 with its heap entry, where the whole open design takes 136.
struct PackedOpenDesign {
  StackingSequence::PackedCodes skin;
  StackingSequence::PackedCodes stiffener;
  double bound = 0.0;
  std::uint16_t skinSet = 0;
  std::uint16_t stiffenerSet = 0;
  bool skinActive = false;
};
static_assert(sizeof(PackedOpenDesign) <= 48, "packed open designs must stay compact");

// How each kind of record enters and leaves the store: `pack` keeps what the record holds,
// `unpack` rebuilds the whole open design into `open` (whose sequences already have their ply
// totals set, so that nothing is allocated).
struct WholeRecords {
  using Record = OpenDesign;
  static Record pack(const OpenDesign& open) { return open; }
  static void unpack(const Record& record, OpenDesign& open) { open = record; }
};

struct PackedRecords {
  using Record = PackedOpenDesign;
  static Record pack(const OpenDesign& open) {
    return {open.design.skin.packedCodes(), open.design.stiffener.packedCodes(), open.bound,
            static_cast<std::uint16_t>(open.design.skin.setCount()),
            static_cast<std::uint16_t>(open.design.stiffener.setCount()), open.skinActive};
  }
  static void unpack(const Record& record, OpenDesign& open) {
    StackingSequence& skin = open.design.skin;
    StackingSequence& stiffener = open.design.stiffener;
    skin.restore(record.skin, record.skinSet);
    stiffener.restore(record.stiffener, record.stiffenerSet);
    open.bound = record.bound;
    open.skinActive = record.skinActive;
  }
};

template <typename Record>
struct DesignHeapPolicy {
  static double key(const Record& record) { return record.bound; }
  static constexpr std::int64_t kLimit = 0;  // grows without limit
  static void atLimit() {}
};

// Best-first store of open designs: (ns + nt)^2 slots at first, ten times more whenever full.
template <typename Record>
class DesignHeap : public BestFirstHeap<Record, DesignHeapPolicy<Record>> {
 public:
  explicit DesignHeap(int positions)
      : BestFirstHeap<Record, DesignHeapPolicy<Record>>(static_cast<std::int64_t>(positions) *
                                                        static_cast<std::int64_t>(positions)) {}
};

}  // namespace kelm
