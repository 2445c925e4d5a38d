#pragma once

#include <memory>
#include <vector>

#include "bindings.h"

namespace kelm::python {

// The designs of a search result as Python sees them: a read-only sequence over the search's
// own records, each made a kelm.Design only when asked for. A flat surface ties millions of
// designs; a list of Python objects would take several times the memory the search took.
struct DesignList {
  std::shared_ptr<const std::vector<PanelDesign>> designs =
      std::make_shared<const std::vector<PanelDesign>>();
  int skinPlyTotal = 0;
  int stiffenerPlyTotal = 0;

  std::size_t size() const { return designs->size(); }
  bool empty() const { return designs->empty(); }
  Design at(std::size_t i) const { return Design{(*designs)[i], skinPlyTotal, stiffenerPlyTotal}; }
};

void bindDesignList(py::module_& m);

}  // namespace kelm::python
