#pragma once

#include "base/seeded_random.h"
#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"
#include "response/full_objective.h"

namespace kelm {

// A short local search that raises the tight search's first best value: from a complete,
// allowed design, a change of one position's code or an exchange of two positions' codes in
// one laminate is kept when the design still meets its rules and is worth more. The changes are
// tried in a seeded random order, the first improving one is taken, until none improves or the
// budget of tries is spent. Changed laminates are rebuilt ply by ply from the outside in, as the
// tree builds them, so a design's value here is the value the tree gives it.
class LocalImprovement {
 public:
  LocalImprovement(const FullObjective& objective, const LaminateRules& skinRules,
                   const LaminateRules& stiffenerRules);

  // Improves `design` (its value set) in place; returns the tries spent, at most `budget`.
  long long improve(PanelDesign& design, CRand& random, long long budget) const;

 private:
  struct Change {
    bool skin;
    bool exchange;  // positions first and second swap codes; else first takes code `second`
    int first;
    int second;
  };
  bool tryChange(const PanelDesign& design, const Change& change, PanelDesign& candidate) const;

  const FullObjective& objective_;
  const LaminateRules& skinRules_;
  const LaminateRules& stiffenerRules_;
};

}  // namespace kelm
