#include "alt/alternative_search.h"

#include <iostream>

#include "search/design_report.h"
#include "search/panel_value.h"

namespace kelm {

AlternativeSearch::AlternativeSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                     const LaminateRules& stiffenerRules)
    : skinRules_(skinRules), stiffenerRules_(stiffenerRules) {
  objective_.setFullObjective(model);
}

void AlternativeSearch::evaluateAndEnter(PanelDesign& design) {
  design.value = fullObjective(objective_, design);
  results_.enter(design, design.value);
}

void AlternativeSearch::report() {
  writeOptimalDesigns(results_.designs());
  std::cout << "total step " << totalSteps_;
  writeStepSuffix();
}

}  // namespace kelm
