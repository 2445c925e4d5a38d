#pragma once

#include <string>
#include <vector>

#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// A rule or requirement a blended design breaks, and where.
struct RuleBreak {
  std::string rule;   // "panels", "ply total", "laminate", "stiffener", "balance", "4-ply rule", "guideline",
                      // "requirement", "table", "covering", "drops", "subsequence", "mid-plane", "plies"
  std::string where;  // a sentence naming the panel(s) and positions
};

// A complete panel laminate's surface values (in the panel's order of surfaces) and its
// smallest margin.
struct PanelValues {
  std::vector<double> values;
  double margin = 0.0;
  bool requirementsHold = true;
  int stiffener = -1;  // a stiffened panel's: which of its stiffeners gave them
};
// A plate's values, or a stiffened panel's with its best stiffener for this skin (the
// requirements met, then the largest smallest margin; `hint`, a stiffener tried first).
PanelValues panelValues(const PanelTotal& total, const StackingSequence& laminate, int hint = -1);
// The values with this stiffener (of no plies for a plate).
PanelValues panelValues(const PanelTotal& total, const StackingSequence& laminate, const StackingSequence& stiffener);

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
// consecutive drops, and in real plies: no table row held as a pair of plies where a thicker
// panel holds it as its single mid-plane ply, and each thinner neighbour's whole laminate the
// thicker one's with plies dropped. Lists every break it finds; values only for panels whose laminate fits.
BlendVerdict checkBlendedDesign(const BlendedStructure& structure, const BlendedDesign& design);

}  // namespace kelm
