// kelm.blend: the certified lightest blended design of a structure. The search runs in a thread
// of its own with the GIL released, while the caller's thread watches Ctrl-C, the time limit and
// the progress callback every 20 ms; a stopped search keeps what it has proved and found.
#include <pybind11/stl.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "base/fatal.h"
#include "bindings.h"
#include "watched_call.h"
#include "blend/blend_check.h"
#include "blend/blend_document.h"
#include "blend/blend_picture.h"
#include "blend/blend_run.h"
#include "blend/lightest_blend.h"
#include "blend/structure_file.h"

namespace kelm::python {
namespace {

using Clock = std::chrono::steady_clock;

// The count vector the search is on, handed from the search's thread to the caller's: the
// caller sees the latest one when it looks, never a queue of them.
class VectorWatch {
 public:
  void publish(const std::vector<int>& plies, double weight) {
    const std::lock_guard<std::mutex> lock(mutex_);
    plies_ = plies, weight_ = weight, ++published_;
  }
  // The vector published since the last look, if any.
  std::optional<std::pair<std::vector<int>, double>> takeNew() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (published_ == seen_) return std::nullopt;
    seen_ = published_;
    return std::make_pair(plies_, weight_);
  }

 private:
  std::mutex mutex_;
  std::vector<int> plies_;
  double weight_ = 0.0;
  long long published_ = 0, seen_ = 0;
};

class WatchedBlend {
 public:
  WatchedBlend(const BlendedStructure& structure, std::optional<double> timeLimit, py::object progress,
               BlendRunSettings settings)
      : structure_(structure), timeLimit_(timeLimit), progress_(std::move(progress)), settings_(std::move(settings)) {}

  // Runs the search; returns the Python error to raise once the result is built (None: none).
  py::object run() {
    start_ = Clock::now();
    py::object pending = runWatched(
        [this] {
          result_ = runLightestBlend(structure_, settings_, &stop_, [this](const std::vector<int>& plies, double weight) {
            watch_.publish(plies, weight);
          });
        },
        [this] { return watchOnce(); });
    seconds_ = std::chrono::duration<double>(Clock::now() - start_).count();
    return pending;
  }
  const LightestBlend& result() const { return result_; }
  double seconds() const { return seconds_; }

 private:
  py::object watchOnce() {
    if (PyErr_CheckSignals() != 0) {
      stop_.request(StopReason::Interrupt);
      return py::error_already_set().value();
    }
    if (timeLimit_ && std::chrono::duration<double>(Clock::now() - start_).count() >= *timeLimit_)
      stop_.request(StopReason::TimeLimit);
    if (progress_.is_none()) return py::none();
    const auto vector = watch_.takeNew();
    if (!vector) return py::none();
    try {
      const py::object answer = progress_(py::cast(vector->first), vector->second);
      if (!answer.is_none() && !py::bool_(answer)) stop_.request(StopReason::Interrupt);
    } catch (py::error_already_set& error) {
      stop_.request(StopReason::Interrupt);
      return error.value();
    }
    return py::none();
  }

  const BlendedStructure& structure_;
  std::optional<double> timeLimit_;
  py::object progress_;
  BlendRunSettings settings_;
  StopRequest stop_;
  VectorWatch watch_;
  LightestBlend result_;
  Clock::time_point start_;
  double seconds_ = 0.0;
};

// A file's name and a dict's base directory as the file system's own bytes (a name need not be
// UTF-8); a dict arrives as its JSON text.
BlendedStructure structureOf(const py::object& source, bool isText, const py::object& base) {
  if (isText) return readStructureText(source.cast<std::string>(), "structure", checkedPath(base, "base"));
  const std::string path = checkedPath(source, "structure");
  refuseUnopenable(path, "r", "error: cannot open " + path);
  return readStructureFile(path);
}

void checkStart(const BlendedStructure& structure, const std::vector<int>& start) {
  if (start.empty()) return;
  const std::string fault = startTotalsFault(structure, start, "start");
  if (!fault.empty()) throw py::value_error(fault);
}

// The document, the picture and the pending Python error; `workers` > 0: the count vectors were
// shared among that many workers, said in the document.
py::tuple documentOf(const BlendedStructure& structure, const LightestBlend& result, double seconds,
                     const py::object& pending, int workers) {
  const BlendVerdict verdict = checkedVerdict(structure, result, "kelm.blend");
  const std::string picture = result.found ? blendPicture(structure, result.design) : std::string();
  LightestBlend shared = result;
  shared.workers = workers;
  const std::string document = blendDocument(structure, shared, verdict, seconds);
  return py::make_tuple(document, picture, pending);
}

// The structure's lightest blended design as kelm_blend's JSON document, its picture (empty
// without a design), and the Python error (Ctrl-C, the progress callback's) that stopped it.
py::tuple blend(const py::object& source, bool isText, const py::object& base, std::optional<double> timeLimit,
                py::object progress, const std::vector<int>& start, bool weightOnly) {
  const BlendedStructure structure = structureOf(source, isText, base);
  checkStart(structure, start);
  WatchedBlend watched(structure, timeLimit, std::move(progress), BlendRunSettings{start, weightOnly, 0});
  const py::object pending = watched.run();
  return documentOf(structure, watched.result(), watched.seconds(), pending, 0);
}

// --- Count vectors shared with other processes (kelm.blend(..., client=)) ---

using Packed = std::pair<int, std::vector<int>>;  // a laminate: its ply total and its codes

Packed pack(const StackingSequence& laminate) {
  Packed packed{2 * laminate.plyCount() - (laminate.midPly() ? 1 : 0), {}};
  for (int position = 1; position <= laminate.setCount(); ++position) packed.second.push_back(laminate.getCode(position));
  return packed;
}

StackingSequence unpack(const Packed& packed) {
  StackingSequence laminate;
  laminate.setPlyTotal(packed.first);
  for (std::size_t i = 0; i < packed.second.size(); ++i) laminate.setTheta(static_cast<int>(i) + 1, packed.second[i]);
  return laminate;
}

const char* verdictName(VectorVerdict::Kind kind) {
  switch (kind) {
    case VectorVerdict::Kind::Design: return "design";
    case VectorVerdict::Kind::Empty: return "empty";
    case VectorVerdict::Kind::GroupFails: return "group";
    case VectorVerdict::Kind::Undecided: break;
  }
  return "undecided";
}

// A verdict as plain values, so that it travels between processes (pickled) unchanged.
py::tuple verdictValues(const VectorVerdict& verdict) {
  std::vector<std::pair<int, int>> guide;
  for (const GuidePosition& position : verdict.design.guide) guide.emplace_back(position.code, position.level);
  std::vector<Packed> laminates, stiffeners;
  for (const StackingSequence& laminate : verdict.design.laminates) laminates.push_back(pack(laminate));
  for (const StackingSequence& stiffener : verdict.design.stiffeners) stiffeners.push_back(pack(stiffener));
  return py::make_tuple(verdictName(verdict.kind), verdict.design.plies, guide, laminates, stiffeners, verdict.margin,
                        verdict.group, verdict.groupPlies, verdict.nodes, verdict.guidesAnnealed);
}

VectorVerdict verdictOf(const py::tuple& values) {
  if (values.size() != 10) throw py::value_error("verdict: not a vector's verdict");
  VectorVerdict verdict;
  const std::string kind = values[0].cast<std::string>();
  for (auto k : {VectorVerdict::Kind::Design, VectorVerdict::Kind::Empty, VectorVerdict::Kind::GroupFails})
    if (kind == verdictName(k)) verdict.kind = k;
  verdict.design.plies = values[1].cast<std::vector<int>>();
  for (const auto& [code, level] : values[2].cast<std::vector<std::pair<int, int>>>())
    verdict.design.guide.push_back({code, level});
  for (const Packed& packed : values[3].cast<std::vector<Packed>>()) verdict.design.laminates.push_back(unpack(packed));
  for (const Packed& packed : values[4].cast<std::vector<Packed>>()) verdict.design.stiffeners.push_back(unpack(packed));
  verdict.margin = values[5].cast<double>();
  verdict.group = values[6].cast<std::vector<int>>();
  verdict.groupPlies = values[7].cast<std::vector<int>>();
  verdict.nodes = values[8].cast<std::int64_t>();
  verdict.guidesAnnealed = values[9].cast<std::int64_t>();
  return verdict;
}

// Work run with the GIL released while the caller's thread watches Ctrl-C and the deadline.
template <class Work>
py::object watchedUntil(StopRequest& stop, std::optional<Clock::time_point> deadline, Work work) {
  return runWatched(work, [&]() -> py::object {
    if (PyErr_CheckSignals() != 0) {
      stop.request(StopReason::Interrupt);
      return py::error_already_set().value();
    }
    if (deadline && Clock::now() >= *deadline) stop.request(StopReason::TimeLimit);
    return py::none();
  });
}

std::optional<Clock::time_point> deadlineAfter(std::optional<double> seconds) {
  if (!seconds) return std::nullopt;
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds));
}

// The enumerating side of a shared run: kelm.blend's coordinator holds one.
class SharedBlend {
 public:
  SharedBlend(const py::object& source, bool isText, const py::object& base, std::optional<double> timeLimit,
              const std::vector<int>& start, bool weightOnly)
      : structure_(structureOf(source, isText, base)), begun_(Clock::now()), deadline_(deadlineAfter(timeLimit)) {
    checkStart(structure_, start);
    run_ = std::make_unique<SharedBlendRun>(structure_, &stop_, start, weightOnly);
  }
  // False when the run has ended already; the Python error that stopped it, if any.
  py::tuple prepare() {
    bool going = false;
    py::object pending = watchedUntil(stop_, deadline_, [&] { going = run_->prepare(); });
    return py::make_tuple(going, pending);
  }
  py::tuple handOut() {
    std::optional<std::pair<std::vector<int>, double>> next;
    py::object pending = watchedUntil(stop_, deadline_, [&] { next = run_->handOut(); });
    if (!next) return py::make_tuple(py::none(), pending);
    return py::make_tuple(py::make_tuple(next->first, next->second), pending);
  }
  void settle(const std::vector<int>& plies, const py::tuple& verdict) { run_->settle(plies, verdictOf(verdict)); }
  void stop() { stop_.request(StopReason::Interrupt); }
  // Seconds left before the deadline (None: no limit).
  std::optional<double> secondsLeft() const {
    if (!deadline_) return std::nullopt;
    return std::max(0.0, std::chrono::duration<double>(*deadline_ - Clock::now()).count());
  }
  // kelm_blend's document, the picture and the Python error that stopped the margin's search.
  py::tuple conclude(int workers) {
    LightestBlend result;
    py::object pending = watchedUntil(stop_, deadline_, [&] { result = run_->conclude(); });
    const double seconds = std::chrono::duration<double>(Clock::now() - begun_).count();
    return documentOf(structure_, result, seconds, pending, workers);
  }

 private:
  BlendedStructure structure_;
  Clock::time_point begun_;
  std::optional<Clock::time_point> deadline_;
  StopRequest stop_;
  std::unique_ptr<SharedBlendRun> run_;
};

// The deciding side: one per process, kept between vectors.
class Decider {
 public:
  Decider(const py::object& source, bool isText, const py::object& base)
      : decider_(structureOf(source, isText, base)) {}
  py::tuple decide(const std::vector<int>& plies, std::optional<double> timeLimit) {
    StopRequest stop;
    VectorVerdict verdict;
    py::object pending = watchedUntil(stop, deadlineAfter(timeLimit), [&] { verdict = decider_.decide(plies, &stop); });
    if (!pending.is_none()) throw py::error_already_set();
    return verdictValues(verdict);
  }

 private:
  VectorDecider decider_;
};

}  // namespace

void bindBlend(py::module_& m) {
  py::class_<SharedBlend>(m, "_SharedBlend")
      .def(py::init<const py::object&, bool, const py::object&, std::optional<double>, const std::vector<int>&, bool>(),
           py::arg("source"), py::arg("is_text"), py::arg("base"), py::arg("time_limit"), py::arg("start"),
           py::arg("weight_only"))
      .def("prepare", &SharedBlend::prepare)
      .def("hand_out", &SharedBlend::handOut)
      .def("settle", &SharedBlend::settle, py::arg("plies"), py::arg("verdict"))
      .def("stop", &SharedBlend::stop)
      .def("seconds_left", &SharedBlend::secondsLeft)
      .def("conclude", &SharedBlend::conclude, py::arg("workers"));
  py::class_<Decider>(m, "_VectorDecider")
      .def(py::init<const py::object&, bool, const py::object&>(), py::arg("source"), py::arg("is_text"),
           py::arg("base"))
      .def("decide", &Decider::decide, py::arg("plies"), py::arg("time_limit"));
  m.def("_blend", &blend, py::arg("source"), py::arg("is_text"), py::arg("base"), py::arg("time_limit"),
        py::arg("progress"), py::arg("start"), py::arg("weight_only"));
}

}  // namespace kelm::python
