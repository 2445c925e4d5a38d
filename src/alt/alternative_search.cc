#include "alt/alternative_search.h"

#include <cmath>
#include <iostream>

#include "search/design_report.h"

namespace kelm {

namespace {
constexpr double kTieTolerance = 1e-13;
}

AlternativeSearch::AlternativeSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                     const LaminateRules& stiffenerRules)
    : skinRules_(skinRules), stiffenerRules_(stiffenerRules) {
  objective_.setFullObjective(model);
}

void AlternativeSearch::evaluateAndEnter(PanelDesign& design) {
  const double v = fullObjective(objective_, design);
  design.designBound = design.value = v;
  if (std::fabs(best_ - v) < kTieTolerance) {
    results_.push_back(design);
  } else if (v > best_) {
    results_.clear();
    results_.push_back(design);
    best_ = v;
  }
}

void AlternativeSearch::report() {
  writeOptimalDesigns(results_);
  std::cout << "total step " << totalSteps_;
  writeStepSuffix();
}

}  // namespace kelm
