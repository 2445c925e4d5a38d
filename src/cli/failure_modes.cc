#include "cli/failure_modes.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/command_line.h"
#include "cli/single_laminate.h"
#include "response/full_objective.h"
#include "response/rs_file.h"
#include "search/panel_value.h"

namespace kelm {

namespace {

double valueOf(const ResponseSurface& surface, const PanelDesign& design) {
  FullObjective objective;
  objective.setFullObjective(surface);
  return fullObjective(objective, design);
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// The objective surfaces' values at one design: the main one first, then the --min-of= ones.
std::vector<double> objectiveValues(const ResponseSurface& main, const FailureModes& modes,
                                    const PanelDesign& design) {
  std::vector<double> values = {valueOf(main, design)};
  for (const FailureModes::Mode& mode : modes.modes)
    if (!mode.required) values.push_back(valueOf(mode.surface, design));
  return values;
}

std::size_t smallestIndex(const std::vector<double>& values) {
  std::size_t smallest = 0;
  for (std::size_t i = 1; i < values.size(); ++i)
    if (values[i] < values[smallest]) smallest = i;
  return smallest;
}

}  // namespace

ExtraSurfaces FailureModes::extras() const {
  ExtraSurfaces extras;
  for (const Mode& mode : modes) {
    if (mode.required) extras.required.push_back({&mode.surface, mode.limit});
    else extras.minOf.push_back(&mode.surface);
  }
  return extras;
}

FailureModes readFailureModes(const ExtensionOptions& options) {
  FailureModes modes;
  auto read = [&](const std::string& file, bool required, double limit) {
    RunOptions named;
    named.rsFileName = file;
    appendRsSuffix(named);
    modes.modes.push_back({named.rsFileName, ResponseSurface(), required, limit});
    RsFile(named.rsFileName, modes.modes.back().surface);
    if (options.skinOnly) refuseStiffenerTerms(modes.modes.back().surface, named.rsFileName);
  };
  for (const std::string& file : options.minOfFiles) read(file, false, 0.0);
  for (const auto& [file, limit] : options.requirements) read(file, true, limit);
  return modes;
}

void writeSurfaceValues(std::ostream& out, const std::string& mainName, const ResponseSurface& main,
                        const FailureModes& modes, const std::vector<PanelDesign>& designs) {
  std::vector<std::size_t> governing;
  for (const PanelDesign& design : designs) governing.push_back(smallestIndex(objectiveValues(main, modes, design)));
  out << "surface values at each design (* governs):\n";
  // A requirement's value says whether it holds; an objective's is starred where it governs.
  auto line = [&](const std::string& label, const ResponseSurface& surface, std::size_t index,
                  const FailureModes::Mode* required) {
    out << "  " << label << ":";
    for (std::size_t d = 0; d < designs.size(); ++d) {
      const double value = valueOf(surface, designs[d]);
      out << ' ' << number(value) << (governing[d] == index ? "*" : "");
      if (required != nullptr) out << (value >= required->limit ? " (holds)" : " (broken)");
    }
    out << '\n';
  };
  line(mainName, main, 0, nullptr);
  std::size_t index = 1;
  for (const FailureModes::Mode& mode : modes.modes)
    if (!mode.required) line(mode.name, mode.surface, index++, nullptr);
  for (const FailureModes::Mode& mode : modes.modes)
    if (mode.required) line(mode.name + " >= " + number(mode.limit), mode.surface, std::size_t(-1), &mode);
}

nlohmann::json surfaceValuesJson(const std::string& mainName, const ResponseSurface& main,
                                 const FailureModes& modes, const PanelDesign& design) {
  const std::size_t governing = smallestIndex(objectiveValues(main, modes, design));
  nlohmann::json list = nlohmann::json::array();
  list.push_back({{"file", mainName}, {"role", "objective"}, {"value", valueOf(main, design)},
                  {"governs", governing == 0}});
  std::size_t index = 1;
  for (const FailureModes::Mode& mode : modes.modes) {
    const double value = valueOf(mode.surface, design);
    if (mode.required)
      list.push_back({{"file", mode.name}, {"role", "required"}, {"value", value},
                      {"limit", mode.limit}, {"holds", value >= mode.limit}});
    else
      list.push_back({{"file", mode.name}, {"role", "min-of"}, {"value", value},
                      {"governs", governing == index++}});
  }
  return list;
}

std::string governingSurface(const std::string& mainName, const ResponseSurface& main,
                             const FailureModes& modes, const PanelDesign& design) {
  std::size_t index = smallestIndex(objectiveValues(main, modes, design));
  if (index == 0) return mainName;
  for (const FailureModes::Mode& mode : modes.modes)
    if (!mode.required && --index == 0) return mode.name;
  return mainName;
}

bool requirementsHold(const FailureModes& modes, const PanelDesign& design) {
  for (const FailureModes::Mode& mode : modes.modes)
    if (mode.required && !(valueOf(mode.surface, design) >= mode.limit)) return false;
  return true;
}

}  // namespace kelm
