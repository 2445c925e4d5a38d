#include "iter/design_history.h"

#include <algorithm>

#include "search/search_constants.h"

namespace kelm {

std::uint64_t DesignHistory::keyOf(const PanelDesign& design) {
  return design.skin.hash() * 0x100000001B3ull ^ design.stiffener.hash();
}

bool DesignHistory::contains(const PanelDesign& design) const {
  const auto [first, last] = index_.equal_range(keyOf(design));
  return std::any_of(first, last, [&](const auto& entry) {
    const PanelDesign& seen = designs_[entry.second];
    return seen.skin == design.skin && seen.stiffener == design.stiffener;
  });
}

void DesignHistory::add(const PanelDesign& design) {
  index_.emplace(keyOf(design), designs_.size());
  designs_.push_back(design);
}

// Positions move when designs are dropped, so the index is built again (once per round).
void DesignHistory::pruneBelow(double floor) {
  const std::size_t before = designs_.size();
  std::erase_if(designs_, [&](const PanelDesign& d) { return d.value < floor - kTieTolerance; });
  if (designs_.size() == before) return;
  index_.clear();
  for (std::size_t i = 0; i < designs_.size(); ++i) index_.emplace(keyOf(designs_[i]), i);
}

}  // namespace kelm
