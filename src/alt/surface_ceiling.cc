#include "alt/surface_ceiling.h"

#include <algorithm>

#include "alt/count_coupled_bound.h"
#include "alt/joint_bound_model.h"
#include "search/active_design.h"

namespace kelm {

double surfaceCeiling(const ResponseSurface& surface, int skinPlyTotal, int stiffenerPlyTotal,
                      const LaminateRules& skinRules, const LaminateRules& stiffenerRules,
                      double limit) {
  ActiveDesign root;
  root.design.skin.setPlyTotal(skinPlyTotal);
  root.design.stiffener.setPlyTotal(stiffenerPlyTotal);
  root.skinActive = true;
  JointBoundModel joint;
  joint.setJointBoundModel(surface);
  joint.takeEdgesAlongTheEdges();
  joint.setJointBoundTerms(root);
  const double jointBound = joint.evaluateJointBound(root);
  CountCoupledBound counts;
  counts.setModel(surface, skinPlyTotal, stiffenerPlyTotal, skinRules, stiffenerRules);
  return std::min(jointBound, counts.evaluate(root.design, limit));
}

}  // namespace kelm
