// kelm.Surface: a response surface from a file, from term codes or from arrays, and its value
// at lamination parameters given in the file's variable order x1..x8.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <set>
#include <string>

#include "base/fatal.h"
#include "bindings.h"
#include "eval/surface_check.h"
#include "response/rs_file.h"

namespace kelm::python {
namespace {

// Model position (1-based) of file variable x1..x8: skin in-plane, stiffener in-plane, skin
// bending, stiffener bending in the file; skin, skin, stiffener, stiffener in the model.
constexpr int kModelPosition[9] = {0, 1, 2, 5, 6, 3, 4, 7, 8};

// The code of a term as the file writes it: one hexadecimal digit per variable (x1 lowest).
std::int32_t digitCode(int variable, std::int32_t digit) { return digit << (4 * (variable - 1)); }

std::string codeText(std::int32_t code) {
  std::ostringstream text;
  text << std::hex << code;
  return text.str();
}

std::string coefficientText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}


Surface readSurface(const py::object& pathArgument) {
  const std::string path = checkedPath(pathArgument, "path");
  refuseUnopenable(path, "rb", "Cannot open responce surface file!");
  Surface surface;
  try {
    RsFile(path, surface.model);
  } catch (const Failure& failure) {
    if (failure.message() != "error: RsFile") throw;
    fatal(Stream::Err, path + ": not a response-surface file (each line a hexadecimal code and a number, or a "
                              "comment; kelm_eval --check says which line)", true);
  }
  surface.objective.setFullObjective(surface.model);
  return surface;
}

constexpr const char* kTermCodes =
    "codes are hexadecimal digits as the file writes them, one digit per variable, x1 lowest "
    "('0' constant, '1' x1, '10' x2, '11' x1 squared, '101' x1 x3, ...)";

// A code of degree at most 2 (at most two variables, each to at most the second power): an
// int key 0x11 is 17, read as x1 to the 7th times x2, not as x1 squared.
bool quadraticCode(std::int32_t code) {
  if (code < 0) return false;
  int degree = 0;
  for (int i = 0; i < 8; ++i) degree += (code >> (4 * i)) & 0xF;
  return degree <= 2;
}

// Keys as the file writes codes: a string of hexadecimal digits, or an int whose decimal
// digits are those (1000 is x4, 11 is x1 squared).
Surface fromTerms(const py::object& termsArgument) {
  if (!py::isinstance<py::dict>(termsArgument))
    throw py::type_error("terms must be a dict {code: coefficient}, not " +
                         py::str(py::type::handle_of(termsArgument).attr("__name__")).cast<std::string>());
  std::string text;
  std::set<std::int32_t> codes;
  for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(termsArgument)) {
    if (!py::isinstance<py::str>(key) && !py::isinstance<py::int_>(key))
      throw py::type_error("terms: a code is a str of hexadecimal digits or an int, not " +
                           py::str(py::type::handle_of(key).attr("__name__")).cast<std::string>());
    const std::string code = py::str(key).cast<std::string>();
    const std::string name = "terms[" + py::repr(key).cast<std::string>() + "]";
    const std::string line = code + "\t" + coefficientText(checked("real", value, name.c_str()).cast<double>());
    const RsLine read = readRsLine(line);
    if (read.kind != RsLine::Kind::Term)
      throw py::value_error("terms: " + py::repr(key).cast<std::string>() + " is not a term code: " +
                            kTermCodes);
    // A file may hold terms the searches never read (they warn in kelm_eval --check); a term
    // given here is meant to count, so one that would silently be 0 is refused.
    if (!quadraticCode(read.code))
      throw py::value_error("terms: " + py::repr(key).cast<std::string>() + " (code " + code +
                            ") is not a term of a quadratic surface: " + kTermCodes);
    if (!codes.insert(read.code).second)
      throw py::value_error("terms: " + py::repr(key).cast<std::string>() + " gives the code " + code +
                            " a second time");
    text += line + "\n";
  }
  try {
    return surfaceFromText(text);
  } catch (const Failure&) {
    throw py::value_error(std::string("terms: the searches refuse these terms: ") + kTermCodes);
  }
}

// value = constant + linear . x + x' hessian x / 2, x in the file's variable order.
// Every number finite: a NaN would make every bound NaN and the search run without end.
Surface fromArrays(const py::object& constantArgument, const py::object& linearArgument,
                   const py::object& hessianArgument) {
  const double constant = checked("real", constantArgument, "constant").cast<double>();
  const auto shape = [](int rows, int columns) {
    return rows == 0 ? py::make_tuple(columns) : py::make_tuple(rows, columns);
  };
  const py::object checks = py::module_::import("kelm._checks");
  const auto linear = checks.attr("finite_array")(linearArgument, "linear", py::none(), shape(0, 8))
                          .cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  const auto hessian = checks.attr("finite_array")(hessianArgument, "hessian", py::none(), shape(8, 8))
                           .cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  const auto b = linear.unchecked<1>();
  const auto h = hessian.unchecked<2>();
  Surface surface;
  surface.model.appendTerm(0, constant);
  for (int i = 1; i <= 8; ++i) surface.model.appendTerm(digitCode(i, 1), b(i - 1));
  for (int i = 1; i <= 8; ++i) {
    surface.model.appendTerm(digitCode(i, 2), h(i - 1, i - 1) * 0.5);
    for (int j = i + 1; j <= 8; ++j)
      surface.model.appendTerm(digitCode(i, 1) + digitCode(j, 1),
                               (h(i - 1, j - 1) + h(j - 1, i - 1)) * 0.5);
  }
  refuseUnboundedSurface(surface.model);
  surface.build();
  return surface;
}

double valueAt(const Surface& surface, const double* fileOrder) {
  double x[8];
  for (int i = 1; i <= 8; ++i) x[kModelPosition[i] - 1] = fileOrder[i - 1];
  return surface.objective.fullObjective(x);
}

py::object values(const Surface& surface, const py::object& pointsArgument) {
  const auto points = py::module_::import("kelm._checks")
                          .attr("finite_array")(pointsArgument, "points", 8)
                          .cast<py::array_t<double, py::array::c_style | py::array::forcecast>>();
  if (points.ndim() == 1 && points.shape(0) == 8) return py::float_(valueAt(surface, points.data()));
  if (points.ndim() != 2 || points.shape(1) != 8)
    throw py::value_error("points must be 8 lamination parameters or an N x 8 array");
  const py::ssize_t n = points.shape(0);
  py::array_t<double> out(n);
  double* result = out.mutable_data();
  const double* x = points.data();
  for (py::ssize_t k = 0; k < n; ++k) result[k] = valueAt(surface, x + 8 * k);
  return out;
}

py::dict termsOf(const Surface& surface) {
  py::dict terms;
  const auto& codes = surface.model.termCodes();
  const auto& coefficients = surface.model.termValues();
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string key = codeText(codes[i]);
    if (!terms.contains(key)) terms[py::str(key)] = coefficients[i];  // the first one counts
  }
  return terms;
}

std::string fileText(const Surface& surface, const std::string& comment) {
  std::string text;
  std::istringstream lines(comment);
  for (std::string line; std::getline(lines, line);) text += "# " + line + "\n";
  const auto& codes = surface.model.termCodes();
  const auto& coefficients = surface.model.termValues();
  for (std::size_t i = 0; i < codes.size(); ++i)
    text += codeText(codes[i]) + "\t" + coefficientText(coefficients[i]) + "\n";
  return text;
}

void writeSurface(const Surface& surface, const py::object& pathArgument, const py::object& commentArgument) {
  const std::string path = checkedPath(pathArgument, "path");
  const std::string comment = checked("text", commentArgument, "comment").cast<std::string>();
  refuseUnopenable(path, "ab", "cannot write the surface");
  std::ofstream out(path, std::ios::binary);
  out << fileText(surface, comment);
  out.flush();
  if (!out) fatal(Stream::Err, "error: cannot write the surface to " + path, true, FailureKind::File);
}

py::array_t<double> linearOf(const Surface& surface) {
  py::array_t<double> b(8);
  for (int i = 1; i <= 8; ++i) b.mutable_at(i - 1) = surface.model.linear()(kModelPosition[i]);
  return b;
}

py::array_t<double> hessianOf(const Surface& surface) {
  py::array_t<double> h({8, 8});
  const Mathmx q = surface.model.quadratic();
  for (int i = 1; i <= 8; ++i)
    for (int j = 1; j <= 8; ++j) h.mutable_at(i - 1, j - 1) = q(kModelPosition[i], kModelPosition[j]);
  return h;
}

py::tuple checkSurface(const py::object& pathArgument) {
  const std::string path = checkedPath(pathArgument, "path");
  refuseUnopenable(path, "rb", "cannot be opened");
  std::ostringstream report;
  const int status = checkSurfaceFile(path, report);
  const std::string text = report.str();  // names the file, whose name need not be UTF-8
  return py::make_tuple(status == 0, py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
                                         text.data(), static_cast<py::ssize_t>(text.size()), "backslashreplace")));
}

}  // namespace

Surface surfaceFromText(const std::string& text) {
  Surface surface;
  parseRsText(text, surface.model);
  surface.objective.setFullObjective(surface.model);
  return surface;
}

void bindSurface(py::module_& m) {
  py::class_<Surface>(m, "Surface", R"(A quadratic response surface in the eight lamination parameters.

Variables in the file's order: x1, x2 skin in-plane; x3, x4 stiffener in-plane; x5, x6 skin
bending; x7, x8 stiffener bending (each pair: cos 2 theta, cos 4 theta).)")
      .def_static("read", &readSurface, py::arg("path"),
                  "Reads a response-surface file (a str or path-like) as the programs do: "
                  "FileNotFoundError (an OSError with errno and filename) when it cannot be "
                  "opened, ValueError when they refuse it.")
      .def_static("from_terms", &fromTerms, py::arg("terms"),
                  "A surface from {code: coefficient}, codes as the file writes them "
                  "('0' constant, '1' x1, '10' x2, '11' x1 squared, '101' x1 x3, ...).")
      .def_static("from_arrays", &fromArrays, py::arg("constant"), py::arg("linear"),
                  py::arg("hessian"),
                  "The surface constant + linear . x + x' hessian x / 2 (file variable order); "
                  "every number finite.")
      .def("value", &values, py::arg("points"),
           "The value at 8 lamination parameters (a float) or at each row of an N x 8 array.")
      .def("__call__", &values, py::arg("points"), "Same as value().")
      .def_property_readonly("constant", [](const Surface& s) { return s.model.constant; },
                             "The constant term.")
      .def_property_readonly("linear", &linearOf, "The 8 linear terms (file variable order).")
      .def_property_readonly("hessian", &hessianOf,
                             "The 8 x 8 Hessian (file variable order), symmetric.")
      .def_property_readonly("terms", &termsOf, "{code: coefficient} as the file writes them.")
      .def("text", [](const Surface& s, const py::object& comment) {
             return fileText(s, checked("text", comment, "comment").cast<std::string>());
           }, py::arg("comment") = "",
           "The surface as the text of a response-surface file, with an optional comment header.")
      .def("write", &writeSurface, py::arg("path"), py::arg("comment") = "",
           "Writes the surface as a response-surface file the programs read.")
      .def(py::pickle([](const Surface& s) { return fileText(s, ""); },
                      [](const std::string& text) { return surfaceFromText(text); }))
      .def("__repr__", [](const Surface& s) {
        return "<kelm.Surface with " + std::to_string(s.model.termCodes().size()) + " terms>";
      });
  m.def("check_surface", &checkSurface, py::arg("path"),
        "kelm_eval --check on a file: (accepted, report text).");
}

}  // namespace kelm::python
