// kelm.Result.designs: a sequence (len, indices, slices, iteration, equality with any sequence)
// whose items are made when they are read.
#include "design_list.h"

#include <pybind11/stl.h>

#include <string>

namespace kelm::python {
namespace {

std::size_t indexOf(const DesignList& list, py::ssize_t index) {
  const auto size = static_cast<py::ssize_t>(list.size());
  if (index < 0) index += size;
  if (index < 0 || index >= size) throw py::index_error("design index out of range");
  return static_cast<std::size_t>(index);
}

py::list sliceOf(const DesignList& list, const py::slice& slice) {
  py::ssize_t start = 0, stop = 0, step = 0, length = 0;
  if (!slice.compute(static_cast<py::ssize_t>(list.size()), &start, &stop, &step, &length))
    throw py::error_already_set();
  py::list items;
  for (py::ssize_t k = 0; k < length; ++k) items.append(list.at(static_cast<std::size_t>(start + k * step)));
  return items;
}

// Equal to any sequence of the same designs in the same order (a list of them included).
bool sameAs(const DesignList& list, const py::object& other) {
  if (!py::isinstance<py::sequence>(other) && !py::isinstance<DesignList>(other)) return false;
  if (py::len(other) != list.size()) return false;
  const py::object self = py::cast(list);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (!self[py::int_(i)].equal(other[py::int_(i)])) return false;
  return true;
}

std::string textOf(const DesignList& list) {
  constexpr std::size_t kShown = 6;
  std::string text = "[";
  for (std::size_t i = 0; i < list.size() && i < kShown; ++i)
    text += (i ? ", " : "") + py::repr(py::cast(list.at(i))).cast<std::string>();
  if (list.size() > kShown) text += ", ... (" + std::to_string(list.size()) + " designs)";
  return text + "]";
}

}  // namespace

void bindDesignList(py::module_& m) {
  py::class_<DesignList>(m, "DesignList",
                         "Every design of a result, in order: a read-only sequence whose items "
                         "are kelm.Design (list(...) makes a list of them).")
      .def("__len__", &DesignList::size)
      .def("__bool__", [](const DesignList& l) { return !l.empty(); })
      .def("__getitem__", [](const DesignList& l, py::ssize_t i) { return l.at(indexOf(l, i)); })
      .def("__getitem__", &sliceOf)
      .def("__eq__", &sameAs)
      .def("__repr__", &textOf);
  py::module_::import("collections.abc").attr("Sequence").attr("register")(m.attr("DesignList"));
}

}  // namespace kelm::python
