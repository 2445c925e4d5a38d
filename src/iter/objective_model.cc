#include "iter/objective_model.h"

#include "base/fatal.h"

namespace kelm {

void ObjectiveModel::setObjectiveModel(const ResponseSurface& model) { blocks_.copyFrom(model); }

void ObjectiveModel::setObjectiveTerms(const PanelDesign& design) {
  terms_ = computeTurnTerms(blocks_, design);
}

double ObjectiveModel::objectivefunc(const PanelDesign& design) const {
  if (!design.skin.complete() || !design.stiffener.complete())
    fatal(Stream::Err, "error @objectivefunc", false);
  if (design.skinActive != terms_.skinActive)
    fatal(Stream::Err, "flag is not correct. @objectivefunc", false);
  const StackingSequence& active = design.active();
  return activeValue(active.inPlaneLP(), active.bendingLP(), activeBlocks(blocks_, terms_.skinActive),
                     terms_.inPlaneTerm, terms_.bendingTerm, terms_.fixedPart);
}

}  // namespace kelm
