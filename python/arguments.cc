// Arguments checked where they enter the compiled module: by the package's own checks, so that
// a bad value raises the same TypeError or ValueError, naming the argument, whichever function
// it enters by; files that cannot be opened raise the OSError Python would, errno and name set.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "bindings.h"

namespace kelm::python {

py::object checked(const char* check, py::handle value, const char* name) {
  return py::module_::import("kelm._checks").attr(check)(value, name);
}

// The file system's own bytes: a name need not be UTF-8 (os.fsencode undoes the surrogates).
std::string checkedPath(py::handle value, const char* name) {
  return py::module_::import("os").attr("fsencode")(checked("path", value, name)).cast<std::string>();
}

void refuseUnopenable(const std::string& path, const char* mode, const std::string& message) {
  errno = 0;
  int error = 0;
  std::error_code ignored;
  if (mode[0] == 'r' && std::filesystem::is_directory(path, ignored)) {
    error = EISDIR;
  } else if (std::FILE* file = std::fopen(path.c_str(), mode)) {
    std::fclose(file);
    return;
  } else {
    error = errno != 0 ? errno : EIO;
  }
  // OSError(errno, text, filename) makes the subclass of the errno (FileNotFoundError, ...).
  const std::string text = message + " (" + std::strerror(error) + ")";
  const py::object filename = py::module_::import("os").attr("fsdecode")(py::bytes(path));
  const py::object raised = py::reinterpret_borrow<py::object>(PyExc_OSError)(error, text, filename);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(raised.ptr())), raised.ptr());
  throw py::error_already_set();
}

}  // namespace kelm::python
