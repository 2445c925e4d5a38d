#pragma once

#include <deque>
#include <iosfwd>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "cli/extension_options.h"
#include "laminate/panel_design.h"
#include "response/response_surface.h"
#include "search/extra_surfaces.h"

namespace kelm {

// The surfaces of --min-of= and --require=, read as the main surface is, with their names for
// the report.
struct FailureModes {
  struct Mode {
    std::string name;
    ResponseSurface surface;
    bool required = false;
    double limit = 0.0;
  };
  std::deque<Mode> modes;  // stable addresses: the searches keep pointers to the surfaces

  bool empty() const { return modes.empty(); }
  ExtraSurfaces extras() const;
};

FailureModes readFailureModes(const ExtensionOptions& options);

// One surface's value at each design and, for the objective surfaces, which one governs (the
// smallest): the lines the report adds when failure modes were given.
void writeSurfaceValues(std::ostream& out, const std::string& mainName, const ResponseSurface& main,
                        const FailureModes& modes, const std::vector<PanelDesign>& designs);

// The same for one design, as the JSON document's "surfaces" array.
nlohmann::json surfaceValuesJson(const std::string& mainName, const ResponseSurface& main,
                                 const FailureModes& modes, const PanelDesign& design);

// The name of the objective surface that governs a design (the smallest value; the first of
// equal ones).
std::string governingSurface(const std::string& mainName, const ResponseSurface& main,
                             const FailureModes& modes, const PanelDesign& design);

// Whether every requirement holds at the design.
bool requirementsHold(const FailureModes& modes, const PanelDesign& design);

}  // namespace kelm
