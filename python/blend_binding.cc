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
               std::vector<int> start, bool weightOnly)
      : structure_(structure),
        timeLimit_(timeLimit),
        progress_(std::move(progress)),
        startTotals_(std::move(start)),
        weightOnly_(weightOnly) {}

  // Runs the search; returns the Python error to raise once the result is built (None: none).
  py::object run() {
    start_ = Clock::now();
    py::object pending = runWatched(
        [this] {
          result_ = findLightestBlend(structure_, &stop_,
                                      [this](const std::vector<int>& plies, double weight) { watch_.publish(plies, weight); },
                                      startTotals_, weightOnly_);
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
  std::vector<int> startTotals_;
  bool weightOnly_;
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

// The structure's lightest blended design as kelm_blend's JSON document, its picture (empty
// without a design), and the Python error (Ctrl-C, the progress callback's) that stopped it.
py::tuple blend(const py::object& source, bool isText, const py::object& base, std::optional<double> timeLimit,
                py::object progress, const std::vector<int>& start, bool weightOnly) {
  const BlendedStructure structure = structureOf(source, isText, base);
  if (!start.empty() && start.size() != structure.panels.size())
    throw py::value_error("start has " + std::to_string(start.size()) + " totals; the structure has " +
                          std::to_string(structure.panels.size()) + " panels");
  for (std::size_t p = 0; p < start.size(); ++p)
    if (structure.panels[p].at(start[p]) == nullptr)
      throw py::value_error("start: " + std::to_string(start[p]) + " plies is not an allowed total of panel " +
                            structure.panels[p].name);
  WatchedBlend watched(structure, timeLimit, std::move(progress), start, weightOnly);
  const py::object pending = watched.run();
  const LightestBlend& result = watched.result();
  BlendVerdict verdict;
  if (result.found) {
    verdict = checkBlendedDesign(structure, result.design);
    if (!verdict.holds())  // the search and the check disagree: never hand such a design out
      fatal(Stream::Err, "kelm.blend: internal error: the design found breaks " + verdict.breaks.front().rule + ": " +
                             verdict.breaks.front().where, true);
  }
  const std::string picture = result.found ? blendPicture(structure, result.design) : std::string();
  return py::make_tuple(blendDocument(structure, result, verdict, watched.seconds()), picture, pending);
}

}  // namespace

void bindBlend(py::module_& m) {
  m.def("_blend", &blend, py::arg("source"), py::arg("is_text"), py::arg("base"), py::arg("time_limit"),
        py::arg("progress"), py::arg("start"), py::arg("weight_only"));
}

}  // namespace kelm::python
