#include "programs/structure_check.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <optional>

#include "base/fatal.h"
#include "blend/blend_check.h"
#include "blend/blended_design_file.h"
#include "blend/structure_file.h"
#include "cli/blend_report.h"

namespace kelm {

int runStructureCheck(const std::vector<std::string>& args) {
  if (args.size() != 2)
    fatal(Stream::Err, "kelm_eval: usage: kelm_eval --structure STRUCTURE.json DESIGN.json", true);
  const BlendedStructure structure = readStructureFile(args[0]);
  std::optional<double> statedWeight;
  const BlendedDesign design = readDesignFile(args[1], structure, &statedWeight);
  BlendVerdict verdict = checkBlendedDesign(structure, design);
  // A document that states a weight the panels do not have was edited or belongs to another
  // structure: its weight is part of what is checked.
  if (statedWeight && verdict.breaks.empty() &&
      std::fabs(*statedWeight - verdict.weight) > 1e-9 * std::max(1.0, std::fabs(verdict.weight)))
    verdict.breaks.push_back({"weight", "the file states " + numberText(*statedWeight) + ", the panels weigh " +
                                            numberText(verdict.weight)});
  for (std::size_t p = 0; p < verdict.panels.size(); ++p) {
    if (verdict.panels[p].values.empty()) continue;
    const PanelTotal* total = structure.panels[p].at(design.plies[p]);
    std::cout << structure.panels[p].name << ": " << design.plies[p] << " plies "
              << design.laminates[p].bracketText();
    writeStiffener(std::cout, structure.panels[p], design, p);
    std::cout << "  margin " << numberText(verdict.panels[p].margin);
    for (std::size_t s = 0; s < total->surfaces.size(); ++s)
      std::cout << "  " << total->surfaces[s].name << " = " << numberText(verdict.panels[p].values[s]);
    std::cout << '\n';
  }
  for (const RuleBreak& broken : verdict.breaks) std::cout << "broken: " << broken.rule << ": " << broken.where << '\n';
  if (!verdict.holds()) return 1;
  std::cout << "weight = " << numberText(verdict.weight) << '\n';
  std::cout << "smallest margin = " << numberText(verdict.margin) << '\n';
  std::cout << "every rule and requirement holds\n";
  return 0;
}

}  // namespace kelm
