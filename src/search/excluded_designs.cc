#include "search/excluded_designs.h"

namespace kelm {

std::uint64_t ExcludedDesigns::keyOf(const PanelDesign& design) {
  return design.skin.hash() * 0x100000001B3ull ^ design.stiffener.hash();
}

void ExcludedDesigns::add(const PanelDesign& design) {
  if (contains(design)) return;
  index_.emplace(keyOf(design), designs_.size());
  designs_.push_back(design);
}

bool ExcludedDesigns::contains(const PanelDesign& design) const {
  if (designs_.empty()) return false;
  const auto [first, last] = index_.equal_range(keyOf(design));
  for (auto it = first; it != last; ++it) {
    const PanelDesign& held = designs_[it->second];
    if (sameDesign(held, design)) return true;
  }
  return false;
}

}  // namespace kelm
