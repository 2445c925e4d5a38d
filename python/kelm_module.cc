// The Python module over the kelm libraries: errors become Python exceptions here, at its
// boundary, with the programs' messages in a Python caller's terms.
#include <Python.h>

#include <string>

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

// A program's message in a Python caller's terms: without the "error: " or "kelm_eval: " a
// console line starts with (an exception names its kind itself), and a malformed surface said
// in words rather than by the reader's name.
std::string inCallerTerms(std::string message) {
  const std::size_t colon = message.find(": ");
  const std::string head = colon == std::string::npos ? "" : message.substr(0, colon);
  if (head == "error" || (head.rfind("kelm_", 0) == 0 && head.find(' ') == std::string::npos))
    message.erase(0, colon + 2);
  if (message == "error: RsFile" || message == "RsFile")
    message = "not a response-surface file (each line a hexadecimal code and a number, or a comment)";
  return message;
}

void translateFailure(std::exception_ptr failure) {
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const Failure& f) {
    PyObject* text = messageText(inCallerTerms(f.message()));
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
  kelm::python::bindSizing(m);
  kelm::python::bindSizing(m);
}
