// The Python module over the kelm libraries: errors become Python exceptions here, at its
// boundary, with the programs' own messages.
#include <Python.h>

#include "base/fatal.h"
#include "bindings.h"

namespace kelm::python {
namespace {

// The programs' messages are mostly ASCII; one keeps the Shift-JIS bytes of its sign.
PyObject* messageText(const std::string& message) {
  return PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()),
                              "backslashreplace");
}

PyObject* exceptionTypeOf(FailureKind kind) {
  switch (kind) {
    case FailureKind::File: return PyExc_OSError;
    case FailureKind::Memory: return PyExc_MemoryError;
    case FailureKind::Input: break;
  }
  return PyExc_ValueError;
}

void translateFailure(std::exception_ptr failure) {
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const Failure& f) {
    PyObject* text = messageText(f.message());
    PyErr_SetObject(exceptionTypeOf(f.kind()), text);
    Py_XDECREF(text);
  }
}

}  // namespace
}  // namespace kelm::python

PYBIND11_MODULE(_kelm, m) {
  m.doc() = "The kelm searches over the C++ library (use the kelm package, not this module).";
  m.attr("__version__") = KELM_VERSION;
  pybind11::register_exception_translator(&kelm::python::translateFailure);
  kelm::python::bindSurface(m);
  kelm::python::bindDesigns(m);
  kelm::python::bindDesignList(m);
  kelm::python::bindSearches(m);
  kelm::python::bindFitting(m);
  kelm::python::bindBlend(m);
}
