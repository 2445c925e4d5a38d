// kelm.Laminate and kelm.Design: what a search or an evaluation gives back, as values that
// convert to the JSON document's fields and draw themselves in a notebook.
#include <cmath>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "base/fatal.h"
#include "bindings.h"
#include "eval/design_picture.h"
#include "laminate/laminate_text.h"
#include "laminate/layup_stack.h"

namespace kelm::python {
namespace {

int angleOf(int code) { return code == kCode0 ? 0 : code == kCode90 ? 90 : 45; }

Laminate laminateOf(const std::vector<int>& codes, int plyTotal) {
  Laminate laminate;
  laminate.plyTotal = plyTotal;
  if (plyTotal < 1 || plyTotal > StackingSequence::kMaxPlyTotal)
    fatal(Stream::Err, "error: invalid ply number", true);
  laminate.sequence.setPlyTotal(plyTotal);
  if (static_cast<int>(codes.size()) != laminate.sequence.plyCount())
    fatal(Stream::Err,
          "error: a half laminate of " + std::to_string(plyTotal) + " plies has " +
              std::to_string(laminate.sequence.plyCount()) + " positions, not " +
              std::to_string(codes.size()),
          true);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] < kCode0 || codes[i] > kCode90)
      fatal(Stream::Err, "error: half codes are 0 (0 deg), 1 (+-45 deg) and 2 (90 deg)", true);
    laminate.sequence.setTheta(static_cast<int>(i) + 1, codes[i]);
  }
  return laminate;
}

Laminate parsedLaminate(const std::string& text, int plyTotal) {
  if (plyTotal < 1 || plyTotal > StackingSequence::kMaxPlyTotal)
    fatal(Stream::Err, "error: invalid ply number", true);
  Laminate laminate;
  laminate.plyTotal = plyTotal;
  laminate.sequence = parseHalfLaminate(text, plyTotal, "laminate");
  return laminate;
}

std::vector<int> codesOf(const Laminate& laminate) {
  std::vector<int> codes;
  for (int p = 1; p <= laminate.sequence.plyCount(); ++p) codes.push_back(laminate.sequence.codeAt(p));
  return codes;
}

py::dict halfCounts(const Laminate& laminate) {
  int count[3] = {0, 0, 0};
  for (const int code : codesOf(laminate))
    if (code < 3) ++count[code];
  py::dict counts;
  counts["0"] = count[kCode0];
  counts["45"] = count[kCode45];
  counts["90"] = count[kCode90];
  return counts;
}

py::dict wholeCounts(const Laminate& laminate) {
  int zero = 0, ninety = 0;
  const LayupStack stack = layupStack(laminate.sequence);
  for (const int angle : stack.angles) {
    zero += angle == 0;
    ninety += angle == 90;
  }
  py::dict counts;
  counts["0"] = zero;
  counts["+45"] = stack.plus45;
  counts["-45"] = stack.minus45;
  counts["90"] = ninety;
  return counts;
}

py::tuple inPlane(const Laminate& l) { return py::make_tuple(l.sequence.parameters()[0], l.sequence.parameters()[1]); }
py::tuple bending(const Laminate& l) { return py::make_tuple(l.sequence.parameters()[2], l.sequence.parameters()[3]); }

// The fields of a laminate in the JSON document of the programs.
py::dict laminateDict(const Laminate& l) {
  py::list angles;
  for (const int code : codesOf(l)) angles.append(angleOf(code));
  py::dict d;
  d["plyTotal"] = l.plyTotal;
  d["angles"] = angles;
  d["printed"] = l.sequence.bracketText();
  d["halfPlyCounts"] = halfCounts(l);
  d["inPlane"] = py::list(inPlane(l));
  d["bending"] = py::list(bending(l));
  return d;
}

// x1..x8 in the response-surface file's order.
py::array_t<double> parametersOf(const Design& d) {
  const double* s = d.design.skin.parameters();
  const double* t = d.design.stiffener.parameters();
  const double x[8] = {s[0], s[1], t[0], t[1], s[2], s[3], t[2], t[3]};
  return py::array_t<double>(8, x);
}

// A design no search or evaluation valued (a plan's, one built by hand) carries no value: NaN,
// left out of its text and None in its dictionary, so that 0 never reads as a result.
py::object valueOrNone(const Design& d) {
  return std::isnan(d.design.value) ? py::object(py::none()) : py::object(py::float_(d.design.value));
}

std::string valueText(const Design& d, const char* label) {
  return std::isnan(d.design.value) ? "" : label + std::to_string(d.design.value);
}

py::dict designDict(const Design& d) {
  py::dict out;
  out["value"] = valueOrNone(d);
  out["skin"] = laminateDict(skinOf(d));
  if (d.stiffenerPlyTotal > 0) out["stiffener"] = laminateDict(stiffenerOf(d));
  return out;
}

// The stiffener's bracket form after a separator, or nothing for a single laminate.
std::string stiffenerText(const Design& d, const char* separator) {
  return d.stiffenerPlyTotal > 0 ? separator + d.design.stiffener.bracketText() : "";
}

std::string svgOf(const Design& d) {
  const std::string title = d.design.skin.bracketText() + stiffenerText(d, "  ") + valueText(d, "  value ");
  return designSvg(d.design, title);
}

Design designOf(const Laminate& skin, const Laminate& stiffener, double value) {
  Design d;
  d.design.skin = skin.sequence;
  d.design.stiffener = stiffener.sequence;
  d.design.value = value;
  d.skinPlyTotal = skin.plyTotal;
  d.stiffenerPlyTotal = stiffener.plyTotal;
  return d;
}

Laminate laminateArgument(const py::object& value, const char* name) {
  return py::module_::import("kelm._checks")
      .attr("instance")(value, name, py::type::of<Laminate>())
      .cast<Laminate>();
}

bool sameDesign(const Design& a, const Design& b) {
  return kelm::sameDesign(a.design, b.design) &&
         a.skinPlyTotal == b.skinPlyTotal && a.stiffenerPlyTotal == b.stiffenerPlyTotal &&
         (a.design.value == b.design.value || (std::isnan(a.design.value) && std::isnan(b.design.value)));
}

// Equal designs hash alike: the fields __eq__ compares.
py::ssize_t designHash(const Design& d) {
  return py::hash(py::make_tuple(d.skinPlyTotal, d.design.skin.bracketText(), d.stiffenerPlyTotal,
                                 d.design.stiffener.bracketText(), valueOrNone(d)));
}

}  // namespace

Laminate skinOf(const Design& d) { return Laminate{d.design.skin, d.skinPlyTotal}; }
Laminate stiffenerOf(const Design& d) { return Laminate{d.design.stiffener, d.stiffenerPlyTotal}; }

namespace {

// A single laminate's design has no stiffener: None in Python.
py::object stiffenerOrNone(const Design& d) {
  if (d.stiffenerPlyTotal == 0) return py::none();
  return py::cast(stiffenerOf(d));
}

Laminate noStiffener() {
  Laminate none;
  none.sequence.setPlyTotal(0);
  none.plyTotal = 0;
  return none;
}

Laminate stiffenerArgument(const py::object& value) {
  return value.is_none() ? noStiffener() : laminateArgument(value, "stiffener");
}

}  // namespace

void bindDesigns(py::module_& m) {
  py::class_<Laminate>(m, "Laminate", "One symmetric laminate: its designed half and its ply total.")
      .def(py::init([](const py::object& codes, const py::object& plies) {
             return laminateOf(checked("whole_list", codes, "codes").cast<std::vector<int>>(),
                               checked("ply_total", plies, "plies").cast<int>());
           }), py::arg("codes"), py::arg("plies"),
           "From the half's codes, outer surface inward: 0 (0 deg), 1 (+-45 deg), 2 (90 deg).")
      .def_static("parse", [](const py::object& text, const py::object& plies) {
             return parsedLaminate(checked("text", text, "text").cast<std::string>(),
                                   checked("ply_total", plies, "plies").cast<int>());
           }, py::arg("text"), py::arg("plies"),
                  "From the bracket form the reports print, e.g. '[45/45/90/0]s'.")
      .def_property_readonly("plies", [](const Laminate& l) { return l.plyTotal; },
                             "Plies of the whole laminate.")
      .def_property_readonly("codes", &codesOf, "The designed half's codes, outer surface inward.")
      .def_property_readonly("angles", [](const Laminate& l) {
            std::vector<int> a;
            for (const int code : codesOf(l)) a.push_back(angleOf(code));
            return a;
          }, "The designed half's angles (0, 45 for a +-45 deg position, 90).")
      .def_property_readonly("printed", [](const Laminate& l) { return l.sequence.bracketText(); },
                             "The bracket form of the report, e.g. '[45/45/90/0]s'.")
      .def_property_readonly("stack", [](const Laminate& l) { return layupStack(l.sequence).angles; },
                             "The whole laminate to lay up, outer surface to outer surface, each "
                             "+-45 deg ply signed.")
      .def_property_readonly("stack_text", [](const Laminate& l) { return layupText(layupStack(l.sequence)); },
                             "The stack to lay up as text, e.g. '[+45/-45/0/0/-45/+45]'.")
      .def_property_readonly("half_ply_counts", &halfCounts, "Positions of the half per orientation.")
      .def_property_readonly("ply_counts", &wholeCounts, "Plies of the whole laminate per angle.")
      .def_property_readonly("in_plane", &inPlane, "In-plane lamination parameters (cos 2, cos 4).")
      .def_property_readonly("bending", &bending, "Bending lamination parameters (cos 2, cos 4).")
      .def("to_dict", &laminateDict, "The laminate's fields of the programs' JSON document.")
      .def(py::pickle([](const Laminate& l) { return py::make_tuple(codesOf(l), l.plyTotal); },
                      [](const py::tuple& t) { return laminateOf(t[0].cast<std::vector<int>>(), t[1].cast<int>()); }))
      .def("__eq__", [](const Laminate& a, const Laminate& b) {
        return a.plyTotal == b.plyTotal && a.sequence == b.sequence;
      }, py::is_operator())
      .def("__hash__", [](const Laminate& l) { return py::hash(py::make_tuple(l.plyTotal, l.sequence.bracketText())); })
      .def("__repr__", [](const Laminate& l) {
        return "<kelm.Laminate " + l.sequence.bracketText() + " of " + std::to_string(l.plyTotal) + " plies>";
      });

  py::class_<Design>(m, "Design", "A panel design: skin and stiffener laminates and the surface's value.")
      .def(py::init([](const py::object& skin, const py::object& stiffener, const py::object& value) {
             const Laminate skinLaminate = laminateArgument(skin, "skin");
             const Laminate stiffenerLaminate = stiffenerArgument(stiffener);
             const double given = value.is_none() ? kNoValue : checked("real", value, "value").cast<double>();
             return designOf(skinLaminate, stiffenerLaminate, given);
           }), py::arg("skin"), py::arg("stiffener"), py::arg("value") = py::none(),
           "A design from two laminates, or from a skin alone with stiffener None; its value is NaN "
           "unless given (use kelm.evaluate for its value under a surface).")
      .def_property_readonly("value", [](const Design& d) { return d.design.value; },
                             "The response surface's value (NaN for a design no search or evaluation valued).")
      .def_property_readonly("skin", &skinOf, "The panel skin's laminate.")
      .def_property_readonly("stiffener", &stiffenerOrNone,
                             "The stiffener's laminate (None for a single laminate).")
      .def_property_readonly("parameters", &parametersOf,
                             "The 8 lamination parameters in the surface file's order x1..x8.")
      .def("to_dict", &designDict, "The design's fields of the programs' JSON document.")
      .def("svg", &svgOf, "The picture of kelm_eval --svg, as SVG text.")
      .def("_repr_svg_", &svgOf)
      .def(py::pickle([](const Design& d) { return py::make_tuple(skinOf(d), stiffenerOrNone(d), valueOrNone(d)); },
                      [](const py::tuple& t) {
                        return designOf(t[0].cast<Laminate>(), stiffenerArgument(t[1]),
                                        t[2].is_none() ? kNoValue : t[2].cast<double>());
                      }))
      .def("__eq__", &sameDesign, py::is_operator())
      .def("__hash__", &designHash)
      .def("__repr__", [](const Design& d) {
        return "<kelm.Design " + d.design.skin.bracketText() + stiffenerText(d, " ") + valueText(d, " value ") + ">";
      });
}

}  // namespace kelm::python
