#include "iter/objective_model.h"

#include "base/fatal.h"

namespace kelm {

void ObjectiveModel::setObjectiveModel(const ResponseSurface& model) { blocks_.copyFrom(model); }

void ObjectiveModel::setObjectiveTerms(const ActiveDesign& candidate) {
  terms_ = computeTurnTerms(blocks_, candidate);
}

double ObjectiveModel::objectivefunc(const ActiveDesign& candidate) const {
  const PanelDesign& design = candidate.design;
  if (!design.skin.complete() || !design.stiffener.complete())
    fatal(Stream::Err, "error @objectivefunc", false);
  if (candidate.skinActive != terms_.skinActive)
    fatal(Stream::Err, "flag is not correct. @objectivefunc", false);
  const StackingSequence& active = candidate.active();
  return activeValue(active.inPlaneLP(), active.bendingLP(), activeBlocks(blocks_, terms_.skinActive),
                     terms_.inPlaneTerm, terms_.bendingTerm, terms_.fixedPart);
}

}  // namespace kelm
