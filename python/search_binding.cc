// kelm.optimize and kelm.evaluate: the searches run in a thread of their own with the GIL
// released, while the caller's thread watches for Ctrl-C, the time limit and the progress
// callback, a few times a second and never inside the search's loop.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "alt/exhaustive_search.h"
#include "alt/simultaneous_search.h"
#include "base/fatal.h"
#include "base/platform_memory.h"
#include "bindings.h"
#include "watched_call.h"
#include "design_list.h"
#include "iter/branch_and_bound_search.h"
#include "iter/round_robin_search.h"
#include "laminate/design_rules.h"
#include "laminate/fixed_ply_numbers.h"
#include "response/laminate_terms.h"
#include "search/panel_value.h"

namespace kelm::python {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kProgressInterval = 0.25;  // seconds between two progress calls at most
constexpr int kLargestPlyTotal = 100000;    // the programs refuse larger totals too

// What a search found, as kelm.optimize returns it.
struct Result {
  std::string status;  // "optimal", "infeasible", "interrupted" or "time-limit"
  DesignList designs;
  long long steps = 0;
  double seconds = 0.0;
  std::string method;
  std::uint32_t seed = 0;
  std::string log;  // the round lines of the iterative methods

  py::object value() const {
    return designs.empty() ? py::none() : py::object(py::float_(designs.designs->front().value));
  }
  bool success() const { return status == "optimal"; }
  std::string message() const;
};

bool iterative(const std::string& method) {
  return method == "iterative" || method == "iterative-tight" || method == "round-robin";
}

// In words, as scipy's OptimizeResult.message: what the status means for the designs.
std::string Result::message() const {
  if (status == "optimal") return "optimal: every design of the best value under the rules";
  if (status == "time-limit")
    return "time limit reached: the designs are the best found so far, not proven optimal";
  if (status == "interrupted")
    return "run interrupted: the designs are the best found so far, not proven optimal";
  if (status == "step-limit")
    return "step limit reached: the designs are the best found within the steps allowed, not "
           "proven optimal";
  if (status == "memory-limit")
    return "memory limit reached: the tied designs filled half the memory budget; the designs "
           "are those found so far, not proven optimal";
  if (iterative(method))
    return "no design found: no design the iterative turns reached meets the rules and "
           "requirements (they start from the first allowed stiffener; an exact method, "
           "\"tight\", searches every design)";
  return "no design meets the rules and requirements";
}

struct SearchSettings {
  std::string method;
  std::uint32_t seed = 0;
  int threads = 1;
  long long memoryBudget = 0;
  long long stepLimit = 0;  // 0: none
  std::ostream* log = nullptr;  // the iterative methods' round lines
};

std::unique_ptr<SearchDriver> makeDriver(const Surface& surface, const LaminateRules& skin,
                                         const LaminateRules& stiffener, const SearchSettings& s) {
  const std::string& m = s.method;
  if (m == "tight" || m == "tree") {
    auto search = std::make_unique<SimultaneousSearch>(surface.model, skin, stiffener, s.seed, m == "tight");
    search->setParallelism(s.threads, s.memoryBudget);
    search->setStepLimit(s.stepLimit);
    return search;
  }
  if (m == "exhaustive") return std::make_unique<ExhaustiveSearch>(surface.model, skin, stiffener);
  if (m == "iterative" || m == "iterative-tight") {
    auto search = std::make_unique<BranchAndBoundSearch>(surface.model, skin, stiffener, m == "iterative-tight");
    search->setTurnThreads(s.threads);
    search->setRoundLog(*s.log);
    return search;
  }
  if (m == "round-robin") {
    auto search = std::make_unique<RoundRobinSearch>(surface.model, skin, stiffener, s.seed);
    search->setRoundLog(*s.log);
    return search;
  }
  throw py::value_error("unknown method '" + m +
                        "': tight, tree, exhaustive, iterative, iterative-tight or round-robin");
}

// The best value so far; None until the search has one (it publishes from its first step on).
py::object bestSoFar(const SearchProgress& p) {
  const double best = p.best.load();
  if (p.steps.load() == 0 || !std::isfinite(best)) return py::none();
  return py::float_(best);
}

// The search in a thread of its own; the caller's thread (holding the GIL only between waits)
// handles signals, the time limit and progress. A Python error raised meanwhile (Ctrl-C, or
// the callback's own) stops the search and is handed back with the result.
class WatchedRun {
 public:
  WatchedRun(SearchDriver& driver, std::optional<double> timeLimit, py::object progress)
      : driver_(driver), timeLimit_(timeLimit), progress_(std::move(progress)) {}

  // Returns the Python error to raise after the result is built (None: none).
  py::object run(int skinPlies, int stiffenerPlies) {
    start_ = Clock::now();
    double lastProgress = 0.0;
    py::object pending =
        runWatched([&] { driver_.run(skinPlies, stiffenerPlies); }, [&] { return watchOnce(lastProgress); });
    seconds_ = elapsed();
    return pending;
  }
  double seconds() const { return seconds_; }

 private:
  double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

  py::object watchOnce(double& lastProgress) {
    if (PyErr_CheckSignals() != 0) return stopFor(StopReason::Interrupt);
    const double now = elapsed();
    if (timeLimit_ && now >= *timeLimit_) driver_.stopRequest().request(StopReason::TimeLimit);
    if (progress_.is_none() || now - lastProgress < kProgressInterval) return py::none();
    lastProgress = now;
    const SearchProgress& p = driver_.progress();
    try {
      const py::object answer = progress_(py::dict(
          py::arg("steps") = p.steps.load(), py::arg("held") = p.held.load(),
          py::arg("best") = bestSoFar(p), py::arg("seconds") = now));
      if (!answer.is_none() && !py::bool_(answer)) driver_.stopRequest().request(StopReason::Interrupt);
    } catch (py::error_already_set& error) {
      driver_.stopRequest().request(StopReason::Interrupt);
      return error.value();
    }
    return py::none();
  }

  py::object stopFor(StopReason reason) {
    driver_.stopRequest().request(reason);
    py::error_already_set error;  // takes the error the signal handler raised
    return error.value();
  }

  SearchDriver& driver_;
  std::optional<double> timeLimit_;
  py::object progress_;
  Clock::time_point start_;
  double seconds_ = 0.0;
};

// A finished search without a design proves that none meets the rules and requirements (the
// iterative methods: none they reached); it is never "optimal".
// The driver ends with the call: its designs are moved out, not copied, since a flat surface
// ties millions of them. Its result list is its own member, so it may be emptied here.
std::shared_ptr<const std::vector<PanelDesign>> takeResults(SearchDriver& driver) {
  auto& designs = const_cast<std::vector<PanelDesign>&>(driver.results());
  return std::make_shared<const std::vector<PanelDesign>>(std::move(designs));
}

const char* statusOf(StopReason reason, bool found) {
  switch (reason) {
    case StopReason::None: return found ? "optimal" : "infeasible";
    case StopReason::TimeLimit: return "time-limit";
    case StopReason::MemoryLimit: return "memory-limit";
    case StopReason::StepLimit: return "step-limit";
    default: return "interrupted";
  }
}

// The further failure modes from Python: surfaces whose smallest value counts, and
// (surface, limit) pairs every design must meet. The surfaces stay alive in the caller.
ExtraSurfaces extraSurfaces(const std::vector<const Surface*>& minOf,
                            const std::vector<std::pair<const Surface*, double>>& required) {
  ExtraSurfaces extras;
  for (const Surface* s : minOf) extras.minOf.push_back(&s->model);
  for (const auto& [s, limit] : required) extras.required.push_back({&s->model, limit});
  return extras;
}

// A single laminate's surfaces read only the skin's parameters.
void refuseStiffenerTerms(const Surface& surface, const char* name) {
  const std::optional<std::int32_t> term = firstStiffenerTerm(surface.model);
  if (!term) return;
  std::ostringstream message;
  message << name << ": a single laminate's surface reads only x1, x2, x5 and x6, but the term "
          << std::hex << *term << " (" << termName(*term) << ") reads the stiffener";
  throw py::value_error(message.str());
}

using CodePairs = std::vector<std::pair<std::vector<int>, std::vector<int>>>;

StackingSequence excludedLaminate(const std::vector<int>& codes, int plyTotal, const char* name) {
  StackingSequence sequence;
  sequence.setPlyTotal(plyTotal);
  if (static_cast<int>(codes.size()) != sequence.plyCount())
    throw py::value_error(std::string("exclude: a ") + name + " of " + std::to_string(codes.size()) +
                          " codes; a half laminate of " + std::to_string(plyTotal) + " plies has " +
                          std::to_string(sequence.plyCount()));
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] < kCode0 || codes[i] > kCode90)
      throw py::value_error("exclude: half codes are 0 (0 deg), 1 (+-45 deg) and 2 (90 deg)");
    sequence.setTheta(static_cast<int>(i) + 1, codes[i]);
  }
  return sequence;
}

ExcludedDesigns excludedDesigns(const CodePairs& pairs, int skinPlies, int stiffenerPlies) {
  ExcludedDesigns excluded;
  for (const auto& [skin, stiffener] : pairs) {
    PanelDesign design;
    design.skin = excludedLaminate(skin, skinPlies, "skin");
    design.stiffener = excludedLaminate(stiffener, stiffenerPlies, "stiffener");
    excluded.add(design);
  }
  return excluded;
}

py::tuple optimize(const Surface& surface, int skinPlies, int stiffenerPlies, const std::string& method,
                   const py::dict& skinRules, const py::dict& stiffenerRules, std::uint32_t seed,
                   std::optional<double> timeLimit, std::optional<int> threads,
                   std::optional<long long> memory, py::object progress,
                   const std::vector<const Surface*>& minOf,
                   const std::vector<std::pair<const Surface*, double>>& required,
                   const CodePairs& exclude, int top, long long stepLimit) {
  const LaminateRules skin = laminateRules(skinPlies, skinRules);
  const LaminateRules stiffener = laminateRules(stiffenerPlies, stiffenerRules);
  if (stiffenerPlies == 0) {
    refuseStiffenerTerms(surface, "surface");
    for (const Surface* s : minOf) refuseStiffenerTerms(*s, "min_of");
    for (const auto& [s, limit] : required) refuseStiffenerTerms(*s, "require");
  }
  std::ostringstream rounds;
  SearchSettings settings{method, seed, 1, 0, stepLimit, &rounds};
  settings.threads = threads.value_or(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  if (settings.threads < 1) throw py::value_error("threads must be 1 or more");
  settings.memoryBudget = memory.value_or(static_cast<long long>(physicalMemoryBytes() / 2));
  if (timeLimit && !(*timeLimit > 0.0)) throw py::value_error("time_limit must be a positive number of seconds");
  const ExcludedDesigns excluded = excludedDesigns(exclude, skinPlies, stiffenerPlies);
  std::unique_ptr<SearchDriver> driver = makeDriver(surface, skin, stiffener, settings);
  driver->setStepCounterShown(false);
  driver->setExtraSurfaces(extraSurfaces(minOf, required));
  driver->setExcludedDesigns(excluded);
  driver->setTop(top);
  WatchedRun watched(*driver, timeLimit, std::move(progress));
  const py::object pending = watched.run(skinPlies, stiffenerPlies);
  Result result;
  result.designs = DesignList{takeResults(*driver), skinPlies, stiffenerPlies};
  result.status = statusOf(driver->stopReason(), !result.designs.empty());
  result.steps = driver->totalSteps();
  result.seconds = watched.seconds();
  result.method = method;
  result.seed = seed;
  result.log = rounds.str();
  return py::make_tuple(py::cast(std::move(result)), pending);
}

py::dict evaluate(const Surface& surface, const Laminate& skin, std::optional<Laminate> given,
                  const py::dict& skinRules, const py::dict& stiffenerRules) {
  Laminate stiffener;
  if (given) {
    stiffener = *given;
  } else {  // a single laminate
    refuseStiffenerTerms(surface, "surface");
    stiffener.sequence.setPlyTotal(0);
  }
  const LaminateRules skinR = laminateRules(skin.plyTotal, skinRules);
  const LaminateRules stiffenerR = laminateRules(stiffener.plyTotal, stiffenerRules);
  Design design{PanelDesign{skin.sequence, stiffener.sequence, 0.0}, skin.plyTotal, stiffener.plyTotal};
  design.design.value = fullObjective(surface.objective, design.design);
  py::dict out;
  out["design"] = design;
  out["skin_allowed"] = checkComplete(skin.sequence, skinR);
  out["stiffener_allowed"] = checkComplete(stiffener.sequence, stiffenerR);
  return out;
}

py::dict resultDict(const Result& r) {
  py::list designs;
  for (std::size_t i = 0; i < r.designs.size(); ++i) designs.append(py::cast(r.designs.at(i)).attr("to_dict")());
  py::dict out;
  out["status"] = r.status;
  out["success"] = r.success();
  out["message"] = r.message();
  out["value"] = r.value();
  out["designs"] = designs;
  out["steps"] = r.steps;
  out["seconds"] = r.seconds;
  out["method"] = r.method;
  out["seed"] = r.seed;
  return out;
}

}  // namespace

// One laminate's rules from the dict kelm.Rules gives.
LaminateRules laminateRules(int plyTotal, const py::dict& r) {
  if (plyTotal == 0) {  // a single laminate's absent stiffener: nothing to keep
    LaminateRules none;
    none.balance = false;
    return none;
  }
  if (plyTotal < 1 || plyTotal > kLargestPlyTotal) fatal(Stream::Err, "error: invalid ply number", true);
  LaminateRules rules;
  rules.plyTotal = plyTotal;
  rules.halfPlyCount = halfPositions(plyTotal);
  rules.balance = r["balance"].cast<bool>();
  rules.fourPlyRule = r["four_ply"].cast<bool>();
  rules.minSharePercent = r["min_share"].cast<double>();
  rules.maxRun = r["max_run"].cast<int>();
  rules.noCrossPlyJump = r["no_cross_ply_jump"].cast<bool>();
  rules.outer45 = r["outer_45"].cast<bool>();
  if (!r["ply_numbers"].is_none()) {
    const auto numbers = r["ply_numbers"].cast<std::pair<int, int>>();
    fixPlyNumbers(rules, numbers.first, numbers.second);
    refuseUnreachablePlyNumbers(rules);
  }
  return rules;
}

void bindSearches(py::module_& m) {
  py::class_<Result>(m, "Result", "What a search found: status, value, every tied design, steps, seconds.")
      .def_readonly("status", &Result::status,
                    "'optimal'; 'infeasible' when no design meets the rules and requirements; or "
                    "'interrupted' / 'time-limit' / 'step-limit' when stopped early: the designs "
                    "are then the best found so far, not proven optimal.")
      .def_property_readonly("success", &Result::success,
                             "True when the search finished with its optimal designs (status "
                             "'optimal'), as scipy's OptimizeResult.success.")
      .def_property_readonly("message", &Result::message, "What the status means, in words.")
      .def_property_readonly("value", &Result::value, "The best value (None when no design was found).")
      .def_readonly("designs", &Result::designs,
                    "Every design of the best value (ties within 1e-13), or with top=K the K "
                    "best, best first: a sequence of kelm.Design.")
      .def_readonly("steps", &Result::steps, "The search's steps, as its report counts them.")
      .def_readonly("seconds", &Result::seconds, "Wall-clock seconds of the search.")
      .def_readonly("method", &Result::method, "The search method.")
      .def_readonly("seed", &Result::seed, "The seed of the random start.")
      .def_readonly("log", &Result::log,
                    "The iterative methods' round lines, as kelm_iter prints them while it runs.")
      .def("to_dict", &resultDict, "The outcome's fields as plain values.")
      .def(py::pickle(
          [](const Result& r) {
            std::vector<Design> designs;
            for (std::size_t i = 0; i < r.designs.size(); ++i) designs.push_back(r.designs.at(i));
            return py::make_tuple(r.status, designs, r.designs.skinPlyTotal,
                                  r.designs.stiffenerPlyTotal, r.steps, r.seconds, r.method, r.seed, r.log);
          },
          [](const py::tuple& t) {
            std::vector<PanelDesign> records;
            for (const Design& d : t[1].cast<std::vector<Design>>()) records.push_back(d.design);
            DesignList designs{std::make_shared<const std::vector<PanelDesign>>(std::move(records)),
                               t[2].cast<int>(), t[3].cast<int>()};
            return Result{t[0].cast<std::string>(), std::move(designs), t[4].cast<long long>(),
                          t[5].cast<double>(), t[6].cast<std::string>(), t[7].cast<std::uint32_t>(),
                          t[8].cast<std::string>()};
          }))
      .def("__repr__", [](const Result& r) {
        return "<kelm.Result " + r.status + " value " + py::str(r.value()).cast<std::string>() + ", " +
               std::to_string(r.designs.size()) + " design(s), " + std::to_string(r.steps) + " steps>";
      });
  m.def("_optimize", &optimize, py::arg("surface"), py::arg("skin_plies"), py::arg("stiffener_plies"),
        py::arg("method"), py::arg("skin_rules"), py::arg("stiffener_rules"), py::arg("seed"),
        py::arg("time_limit"), py::arg("threads"), py::arg("memory"), py::arg("progress"),
        py::arg("min_of"), py::arg("required"), py::arg("exclude"), py::arg("top"),
        py::arg("step_limit") = 0);
  m.def("_evaluate", &evaluate);
}

}  // namespace kelm::python
