#include "alt/alternative_search.h"

#include <iostream>

#include "search/design_report.h"

namespace kelm {

AlternativeSearch::AlternativeSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                     const LaminateRules& stiffenerRules)
    : skinRules_(skinRules), stiffenerRules_(stiffenerRules), model_(model) {
  objectives_.setSurfaces(model, extras_);
}

void AlternativeSearch::setExtraSurfaces(const ExtraSurfaces& extras) {
  extras_ = extras;
  objectives_.setSurfaces(model_, extras_);
}

void AlternativeSearch::evaluateAndEnter(PanelDesign& design) {
  if (isExcluded(design)) return;
  design.value = objectives_.value(design);
  if (objectives_.hasExtras() && !objectives_.meetsRequirements(design)) return;
  results_.enter(design, design.value);
  if (tieLimit_ > 0 && results_.designs().size() > tieLimit_) stopForMemory();
}

void AlternativeSearch::rankResults() {
  if (results_.top() > 0) results_.rank(codesBefore);
}

void AlternativeSearch::report() {
  if (results_.top() > 0) writeRankedDesigns(results_.designs(), stopRequested());
  else writeOptimalDesigns(results_.designs(), stopRequested());
  std::cout << "total step " << totalSteps_;
  writeStepSuffix();
}

}  // namespace kelm
