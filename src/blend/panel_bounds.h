#pragma once

#include <vector>

#include "alt/count_coupled_bound.h"
#include "blend/blended_structure.h"
#include "laminate/panel_design.h"

namespace kelm {

// What a blend search asks of one panel at one total while its laminate grows outer to inner:
// whether the rules still hold, whether some completion can still meet every requirement (and
// beat the best smallest margin found), and, complete, its smallest margin. The bounds keep the
// address of the rules they count under, so a PanelBounds never moves once prepared.
class PanelBounds {
 public:
  PanelBounds(const BlendPanel& panel, int plies);
  PanelBounds(const PanelBounds&) = delete;
  PanelBounds& operator=(const PanelBounds&) = delete;

  const LaminateRules& rules() const { return rules_; }
  // A partial laminate whose rules hold so far: each surface's bound over its completions can
  // still reach what is needed (the limit; above `toBeat` when `beating`).
  // `slack`, when given, becomes the smallest excess of a bound over what it needs: how far the
  // most endangered surface is from being cut.
  bool canStillWin(const PanelDesign& partial, bool beating, double toBeat, double* slack = nullptr);
  // A complete laminate: its rules and requirements hold (and its margin beats `toBeat` when
  // `beating`); its smallest margin in `margin`.
  bool completeHolds(const StackingSequence& laminate, bool beating, double toBeat, double& margin) const;

 private:
  LaminateRules rules_;
  LaminateRules noStiffener_;
  const PanelTotal* total_;
  std::vector<CountCoupledBound> bounds_;    // by surface
  std::vector<CountCoupledBound> combined_;  // bounds of mean margins of the required surfaces
  mutable int lastStiffener_ = -1;  // a stiffened panel's best stiffener for the last skin
};

}  // namespace kelm
