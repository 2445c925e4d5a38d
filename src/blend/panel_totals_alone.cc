#include "blend/panel_totals_alone.h"

#include "alt/surface_ceiling.h"
#include "blend/table_search.h"

namespace kelm {

namespace {

// Whether a surface's ceiling over every design of the total the rules allow stays below its
// limit, for some required surface.
bool ceilingRulesOut(const BlendPanel& panel, const PanelTotal& total) {
  LaminateRules none;
  none.balance = false;
  const LaminateRules rules = panel.rulesFor(total.plies);
  for (const ModeSurface& mode : total.surfaces)
    if (mode.required && surfaceCeiling(mode.surface, total.plies, 0, rules, none, mode.limit) < mode.limit)
      return true;
  return false;
}

// A structure of one panel with no neighbours.
BlendedStructure panelAlone(const BlendedStructure& structure, int panel) {
  BlendedStructure alone;
  alone.panels.push_back(structure.panels[panel]);
  alone.blending = structure.blending;
  return alone;
}

bool stopped(const StopRequest* stop) { return stop != nullptr && stop->requested(); }

}  // namespace

std::vector<std::vector<int>> totalsEachPanelMeets(const BlendedStructure& structure, const StopRequest* stop,
                                                   LightestBlend& record) {
  std::vector<std::vector<int>> options(structure.panels.size());
  for (std::size_t p = 0; p < structure.panels.size() && !stopped(stop); ++p) {
    const BlendPanel& panel = structure.panels[p];
    for (const PanelTotal& total : panel.totals) {
      if (stopped(stop)) break;
      if (ceilingRulesOut(panel, total)) {
        record.ruledOutTotals.push_back({static_cast<int>(p), total.plies, "bound"});
        continue;
      }
      const BlendedStructure single = panelAlone(structure, static_cast<int>(p));
      TableSearch alone(single, {total.plies});
      alone.stopAtFirstDesign();
      const VectorSearchOutcome outcome = alone.run(stop);
      record.nodes += outcome.nodes;
      if (outcome.status == VectorSearchOutcome::Status::Infeasible)
        record.ruledOutTotals.push_back({static_cast<int>(p), total.plies, "search"});
      else
        options[p].push_back(total.plies);
    }
  }
  return options;
}

}  // namespace kelm
