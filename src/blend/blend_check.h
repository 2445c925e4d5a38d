#pragma once

#include <string>
#include <vector>

#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// A rule or requirement a blended design breaks, and where.
struct RuleBreak {
  std::string rule;   // "panels", "ply total", "laminate", "balance", "4-ply rule", "guideline",
                      // "requirement", "table", "covering", "drops", "subsequence"
  std::string where;  // a sentence naming the panel(s) and positions
};

// A complete panel laminate's surface values (in the panel's order of surfaces) and its
// smallest margin.
struct PanelValues {
  std::vector<double> values;
  double margin = 0.0;
  bool requirementsHold = true;
};
PanelValues panelValues(const PanelTotal& total, const StackingSequence& laminate);

struct BlendVerdict {
  std::vector<RuleBreak> breaks;
  std::vector<PanelValues> panels;
  double margin = 0.0;  // the smallest panel margin
  double weight = 0.0;
  bool holds() const { return breaks.empty(); }
};

// Checks a blended design against every rule and requirement of the structure on its own,
// without the search's bookkeeping: the totals, each panel's rules and requirements, the
// table (or, edge-wise, an order-preserving embedding per neighbour pair), covering and
// consecutive drops. Lists every break it finds; values only for panels whose laminate fits.
BlendVerdict checkBlendedDesign(const BlendedStructure& structure, const BlendedDesign& design);

}  // namespace kelm
