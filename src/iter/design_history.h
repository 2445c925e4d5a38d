#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "laminate/panel_design.h"

namespace kelm {

// The designs the iterative method has printed and not yet pruned, in the order they were
// seen, with an index on their codes: on surfaces where thousands of designs tie, looking one
// up is a hash probe instead of a scan.
class DesignHistory {
 public:
  const std::vector<PanelDesign>& designs() const { return designs_; }
  // Whether a design with the same skin and stiffener (by sequence equality) was seen.
  bool contains(const PanelDesign& design) const;
  void add(const PanelDesign& design);
  // Drops every design whose value is below `floor` by more than the tie tolerance.
  void pruneBelow(double floor);

 private:
  static std::uint64_t keyOf(const PanelDesign& design);

  std::vector<PanelDesign> designs_;
  std::unordered_multimap<std::uint64_t, std::size_t> index_;  // key -> position in designs_
};

}  // namespace kelm
