#include "alt/alternative_search.h"

#include <cmath>
#include <iostream>

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
  const double v = objective_.fullObjective(design);
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
  const std::streamsize precision = std::cout.precision(10);
  for (const PanelDesign& design : results_) {
    design.skin.printSequence();
    std::cout << '\n';
    design.stiffener.printSequence();
    std::cout << '\n' << "optimal value = " << design.value << '\n';
  }
  std::cout << "total step " << totalSteps_;
  writeStepSuffix();
  std::cout.precision(precision);
}

}  // namespace kelm
