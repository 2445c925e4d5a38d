#include "blend/blended_structure.h"

namespace kelm {

const PanelTotal* BlendPanel::at(int plies) const {
  for (const PanelTotal& total : totals)
    if (total.plies == plies) return &total;
  return nullptr;
}

LaminateRules BlendPanel::rulesFor(int plies) const {
  LaminateRules copy = rules;
  copy.plyTotal = plies;
  copy.halfPlyCount = halfPositions(plies);
  return copy;
}

LaminateRules PanelStiffener::rulesFor() const {
  LaminateRules copy = rules;
  copy.plyTotal = plies;
  copy.halfPlyCount = halfPositions(plies);
  return copy;
}

double BlendedStructure::weightOf(const std::vector<int>& plies) const {
  // Summed in panel order, so that equal count vectors always weigh the same to the bit; the
  // stiffeners' weight (nothing for plates) last, as the count vectors' enumeration adds it.
  double weight = 0.0;
  for (std::size_t p = 0; p < panels.size(); ++p) weight += panels[p].plyWeight * plies[p];
  return weight + stiffenersWeight();
}

double BlendedStructure::stiffenersWeight() const {
  double weight = 0.0;
  for (const BlendPanel& panel : panels) weight += panel.stiffener.plyWeight * panel.stiffener.plies;
  return weight;
}

bool BlendedStructure::stiffened() const {
  for (const BlendPanel& panel : panels)
    if (panel.stiffener.plies > 0) return true;
  return false;
}

}  // namespace kelm
