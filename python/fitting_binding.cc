// The surface workflow in Python: a sampling plan of buildable designs, a least-squares fit of
// the full quadratic with its diagnostics, and the surface of a lamination-parameter target; for
// a panel in x1..x8, for a single laminate (no stiffener) in x1, x2, x5 and x6.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "bindings.h"
#include "watched_call.h"
#include "fitting/least_squares_fit.h"
#include "fitting/sampling_plan.h"
#include "fitting/target_surface.h"

namespace kelm::python {
namespace {

const char* planStatus(StopReason reason) {
  switch (reason) {
    case StopReason::None: return "complete";
    case StopReason::TimeLimit: return "time-limit";
    default: return "interrupted";
  }
}

// Ctrl-C and the time limit stop the plan between two steps of its pool or its exchange.
py::dict samplePlan(int skinPlies, int stiffenerPlies, int count, const py::dict& skinRules,
                    const py::dict& stiffenerRules, std::uint32_t seed, int pool,
                    std::optional<double> timeLimit) {
  PlanRequest request;
  request.skinRules = laminateRules(skinPlies, skinRules);
  request.stiffenerRules = laminateRules(stiffenerPlies, stiffenerRules);
  request.count = count;
  request.seed = seed;
  request.poolSize = pool;
  const WatchedOutcome<SamplingPlan> outcome = watchedCall<SamplingPlan>(
      [request](const StopRequest& stop) mutable {
        request.stop = &stop;
        return dOptimalPlan(request);
      },
      timeLimit, true);
  const SamplingPlan& plan = *outcome.value;
  py::list designs;
  for (PanelDesign d : plan.designs) {
    d.value = kNoValue;  // a plan's design is chosen for where it lies, not valued
    designs.append(Design{d, skinPlies, stiffenerPlies});
  }
  py::dict out;
  out["designs"] = designs;
  out["efficiency"] = plan.efficiencyAgainstRandom;
  out["log_det_plan"] = plan.logDetPlan;
  out["log_det_random"] = plan.logDetRandom;
  out["pool"] = plan.poolSize;
  out["terms"] = plan.terms;
  out["status"] = plan.stopped ? planStatus(outcome.reason) : "complete";
  return out;
}

// The terms of a table of N x 8 parameters (a panel) or N x 4 (a single laminate's x1, x2, x5,
// x6).
const QuadraticTerms& termsOfColumns(py::ssize_t columns) {
  if (columns == kSurfaceParameters) return QuadraticTerms::panel();
  if (columns == static_cast<py::ssize_t>(QuadraticTerms::singleLaminate().variables().size()))
    return QuadraticTerms::singleLaminate();
  throw py::value_error("the samples' parameters must be an N x 8 array (a panel) or N x 4 (a "
                        "single laminate: x1, x2, x5, x6)");
}

std::vector<SurfaceParameters> pointsOf(py::array_t<double, py::array::c_style | py::array::forcecast> x,
                                        const QuadraticTerms& terms) {
  std::vector<SurfaceParameters> points(x.shape(0), SurfaceParameters{});
  const std::vector<int>& variables = terms.variables();
  for (py::ssize_t s = 0; s < x.shape(0); ++s)
    for (std::size_t k = 0; k < variables.size(); ++k) points[s][variables[k]] = x.at(s, k);
  return points;
}

// A large table takes a while in one decomposition that cannot stop: on Ctrl-C or the time
// limit it is left to finish in its thread and the caller goes on at once.
py::dict fit(py::array_t<double> x, const std::vector<double>& y, const std::vector<double>& weights,
             const std::string& comment, std::optional<double> timeLimit) {
  if (x.ndim() != 2) throw py::value_error("the samples' parameters must be a two-dimensional array");
  const QuadraticTerms& terms = termsOfColumns(x.shape(1));
  std::vector<SurfaceParameters> points = pointsOf(x, terms);
  if (points.size() != y.size() || (!weights.empty() && weights.size() != y.size()))
    throw py::value_error("the samples, responses and weights must be equally many");
  const WatchedOutcome<QuadraticFit> outcome = watchedCall<QuadraticFit>(
      [points = std::move(points), y, weights, &terms](const StopRequest&) {
        return fitQuadratic(points, y, weights, terms);
      },
      timeLimit, false);
  if (!outcome.value) {
    PyErr_SetString(PyExc_TimeoutError, "fit_surface: the fit took longer than time_limit");
    throw py::error_already_set();
  }
  const QuadraticFit& result = *outcome.value;
  py::dict out;
  out["surface"] = surfaceFromText(fittedSurfaceText(result, comment));
  out["terms"] = terms.count();
  out["samples"] = result.samples;
  out["r_squared"] = result.rSquared;
  out["adjusted_r_squared"] = result.adjustedRSquared;
  out["rms_residual"] = result.rmsResidual;
  out["largest_residual"] = result.largestResidual;
  out["largest_residual_row"] = result.largestResidualRow;
  out["press_rms"] = result.pressRms;
  out["condition_number"] = result.conditionNumber;
  out["predicted"] = py::array_t<double>(result.predicted.size(), result.predicted.data());
  out["report"] = fitReport(result, comment.empty() ? "response" : comment);
  return out;
}

// Eight targets and weights of a panel, or four of a single laminate (x1, x2, x5, x6).
py::tuple target(const std::vector<double>& t, const std::vector<double>& w) {
  for (const double value : w)
    if (value < 0.0) throw py::value_error("target weights must be 0 or more");
  const QuadraticTerms& terms = termsOfColumns(static_cast<py::ssize_t>(t.size()));
  SurfaceParameters target{}, weights{};
  for (std::size_t k = 0; k < t.size() && k < w.size(); ++k) {
    target[terms.variables()[k]] = t[k];
    weights[terms.variables()[k]] = w[k];
  }
  const std::string comment = "lamination-parameter target: C - sum w_i (x_i - t_i)^2";
  return py::make_tuple(
      surfaceFromText(surfaceFileText(terms, targetSurface(target, weights, terms), comment)),
      targetOffset(target, weights, terms));
}

}  // namespace

void bindFitting(py::module_& m) {
  m.def("_sample_plan", &samplePlan);
  m.def("_fit", &fit);
  m.def("_target", &target);
}

}  // namespace kelm::python
