#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "blend/stiffener_tree.h"
#include "laminate/laminate_rules.h"
#include "response/full_objective.h"
#include "response/response_surface.h"

namespace kelm {

// One surface of a panel at one ply total, and what the panel asks of it. Its margin is its
// value less the limit; a required surface must reach the limit, the others only count
// towards the smallest margin that ranks designs of equal weight.
struct ModeSurface {
  std::string name;
  // What the bounds of a growing laminate read: the skin's parameters only. A plate's surface
  // itself; a stiffened panel's, a ceiling of its surface over the stiffeners it may take.
  ResponseSurface surface;
  FullObjective value;  // the panel's own surface, in all eight parameters
  double limit = 0.0;
  bool required = false;
};

// The surfaces of a panel at one of its allowed ply totals; a stiffened panel's also what they
// ask of its stiffener.
struct PanelTotal {
  int plies = 0;
  std::vector<ModeSurface> surfaces;
  std::shared_ptr<const StiffenerChoice> stiffeners;  // null for a plate
};

// A stiffened panel's stiffener: its own laminate of a fixed total, chosen per panel (it does
// not blend with its neighbours' stiffeners). No plies: a plate.
struct PanelStiffener {
  int plies = 0;
  double plyWeight = 0.0;
  LaminateRules rules;

  LaminateRules rulesFor() const;
};

// A panel of the structure: one laminate (a plate or a skin), its weight per ply, its allowed
// totals (ascending, each with its surfaces; even unless the mid-plane policy allows odd ones) and its own rules. The rules' ply total is
// set for each total where it is used.
struct BlendPanel {
  std::string name;
  double plyWeight = 1.0;
  LaminateRules rules;
  std::vector<PanelTotal> totals;
  PanelStiffener stiffener;

  // The surfaces at `plies`, or null when that total is not allowed.
  const PanelTotal* at(int plies) const;
  LaminateRules rulesFor(int plies) const;
};

// How the laminates of neighbouring panels must continue into each other.
enum class BlendForm {
  Table,     // one guide ply order; every panel keeps a prefix of its levels
  EdgeWise,  // each thinner neighbour an order-preserving subsequence of the thicker
};

// Which ply totals a panel may take. A laminate of an odd total has a mid-plane ply: it is the
// innermost position of the half laminate and blends as any other position does, so a thicker
// neighbour continues it as one ply of a pair and a thinner one may drop it.
enum class TotalsPolicy {
  Even,      // every total even: no mid-plane ply
  MidPlane,  // odd totals too, the mid-plane ply being the half laminate's innermost position
};

struct BlendingRules {
  BlendForm form = BlendForm::Table;
  int covering = 1;  // the outer positions no panel drops
  int maxDrops = 3;  // consecutive positions one neighbour may drop
  TotalsPolicy totals = TotalsPolicy::Even;
};

struct BlendedStructure {
  std::vector<BlendPanel> panels;
  std::vector<std::pair<int, int>> adjacent;  // indices into panels
  BlendingRules blending;

  // The skins' weight at these totals plus the stiffeners' (fixed) weight.
  double weightOf(const std::vector<int>& plies) const;
  double stiffenersWeight() const;
  bool stiffened() const;
};

}  // namespace kelm
