#pragma once

#include <string>

#include "alt/design_heap.h"
#include "response/response_surface.h"
#include "response/rs_file.h"
#include "laminate/laminate_rules.h"

namespace kelm::bench {

// The bundled panel_a surface: all sixteen candidate systems of the joint bound exist for it,
// as they do for most fitted surfaces.
inline ResponseSurface panelSurface() {
  ResponseSurface model;
  RsFile(std::string(KELM_EXAMPLES) + "/panel_a.rs", model);
  return model;
}

inline LaminateRules balancedRules(int total) {
  LaminateRules rules;
  rules.halfPlyCount = total / 2 + total % 2;
  return rules;
}

// A design of 32/32 plies halfway through the simultaneous search: 8 skin and 7 stiffener
// positions set, the stiffener extended next.
inline OpenDesign halfwayDesign() {
  OpenDesign open;
  PanelDesign& design = open.design;
  design.skin.setPlyTotal(32);
  design.stiffener.setPlyTotal(32);
  const int skinCodes[8] = {1, 1, 0, 1, 2, 0, 1, 2};
  const int stiffenerCodes[7] = {1, 0, 1, 1, 2, 0, 2};
  for (int i = 0; i < 8; ++i) design.skin.setTheta(i + 1, skinCodes[i]);
  for (int i = 0; i < 7; ++i) design.stiffener.setTheta(i + 1, stiffenerCodes[i]);
  open.skinActive = false;
  return open;
}

}  // namespace kelm::bench
