#pragma once

#include <pybind11/pybind11.h>

#include <limits>
#include <string>

#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"
#include "response/full_objective.h"
#include "response/response_surface.h"

namespace kelm::python {

namespace py = pybind11;

// A response surface as Python holds it: the model the searches read and its full objective.
struct Surface {
  ResponseSurface model;
  FullObjective objective;

  void build() {
    model.build();
    objective.setFullObjective(model);
  }
};

// One laminate of a design: its designed half and the ply total it was designed for.
struct Laminate {
  StackingSequence sequence;
  int plyTotal = 0;
};

// The value of a design no search or evaluation valued.
inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// A design with both laminates and its value.
struct Design {
  PanelDesign design;
  int skinPlyTotal = 0;
  int stiffenerPlyTotal = 0;
};

void bindSurface(py::module_& m);
void bindFitting(py::module_& m);
void bindDesigns(py::module_& m);
void bindDesignList(py::module_& m);
void bindSearches(py::module_& m);
void bindBlend(py::module_& m);
void bindSizing(py::module_& m);
void bindSizing(py::module_& m);

// One laminate's rules from the dict of kelm.Rules (its fields by name), for a ply total;
// refused totals and fixed numbers fail as in the programs.
LaminateRules laminateRules(int plyTotal, const py::dict& rules);

// An argument checked by kelm._checks.<check>(value, name): TypeError or ValueError naming it.
py::object checked(const char* check, py::handle value, const char* name);
std::string checkedPath(py::handle value, const char* name);

// Raises the OSError of a file that cannot be opened in `mode` (FileNotFoundError,
// PermissionError, IsADirectoryError, ...) with its errno, the file name and `message`.
void refuseUnopenable(const std::string& path, const char* mode, const std::string& message);

// A surface built from the text of a response-surface file.
Surface surfaceFromText(const std::string& text);

// A laminate of a design, copied out so that it outlives the design.
Laminate skinOf(const Design& design);
Laminate stiffenerOf(const Design& design);

}  // namespace kelm::python
