// kelm.lightest: the sizing over ply totals that kelm_alt --plies= runs, with the caller's
// surfaces and searches called back for each total. The searches called back watch Ctrl-C and
// the time limit themselves, so the sizing holds the GIL between them.
#include <pybind11/stl.h>

#include <chrono>
#include <optional>
#include <tuple>
#include <vector>

#include "bindings.h"
#include "sizing/lightest_total.h"

namespace kelm::python {

namespace {

using Clock = std::chrono::steady_clock;

// The rules and requirements the caller gives for one total: (skin rules, stiffener rules,
// [(Surface, limit), ...]); `kept` holds the surfaces alive while the sizing reads them.
TotalsSetUp setUpOf(const PlyTotals& totals, const py::function& setUp, py::object& kept) {
  kept = setUp(totals.skin, totals.stiffener);
  const auto given = kept.cast<py::tuple>();
  TotalsSetUp result{laminateRules(totals.skin, given[0].cast<py::dict>()),
                     laminateRules(totals.stiffener, given[1].cast<py::dict>()),
                     {}};
  for (const py::handle pair : given[2].cast<py::list>()) {
    const auto required = pair.cast<py::tuple>();
    result.requirements.push_back({&required[0].cast<const Surface&>().model,
                                   required[1].cast<double>()});
  }
  return result;
}

// (stopped, found, steps, seconds) of the caller's search of one total.
TotalsSearched searchedOf(const PlyTotals& totals, std::optional<double> left,
                          const py::function& search) {
  const auto told = search(totals.skin, totals.stiffener, left).cast<py::tuple>();
  return {told[0].cast<bool>(), told[1].cast<bool>(), told[2].cast<long long>(),
          told[3].cast<double>()};
}

// Each decision as (outcome, requirement or None, limit, bound, steps, seconds).
py::list decisionsOf(const Sizing& sizing) {
  py::list decisions;
  for (const TotalsDecision& d : sizing.decisions) {
    const bool skipped = d.outcome == TotalsDecision::Outcome::Skipped;
    decisions.append(py::make_tuple(outcomeName(d.outcome),
                                    skipped ? py::object(py::int_(d.requirement)) : py::none(),
                                    d.limit, d.bound, d.steps, d.seconds));
  }
  return decisions;
}

py::list sizeLightest(const std::vector<std::tuple<int, int, double>>& candidates,
                      std::optional<double> timeLimit, const py::function& setUp,
                      const py::function& search) {
  std::vector<PlyTotals> totals;
  for (const auto& [skin, stiffener, weight] : candidates) totals.push_back({skin, stiffener, weight});
  sortLightestFirst(totals);
  py::object kept;
  const Clock::time_point start = Clock::now();
  SizingSteps steps;
  steps.setUp = [&](const PlyTotals& t) { return setUpOf(t, setUp, kept); };
  steps.search = [&](const PlyTotals& t, std::optional<double> left) {
    return searchedOf(t, left, search);
  };
  steps.secondsUsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  return decisionsOf(sizeLightestFirst(totals, timeLimit, steps));
}

}  // namespace

void bindSizing(py::module_& m) {
  m.def("_size_lightest", &sizeLightest, py::arg("totals"), py::arg("time_limit"),
        py::arg("set_up"), py::arg("search"));
}

}  // namespace kelm::python
