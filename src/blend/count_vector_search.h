#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// What a search of one count vector ended with.
struct VectorSearchOutcome {
  enum class Status { Found, Infeasible, Stopped };
  Status status = Status::Infeasible;
  bool found = false;          // a design is held (also when stopped)
  BlendedDesign design;        // the best design found
  double margin = 0.0;         // its smallest margin
  std::int64_t nodes = 0;      // positions tried
};

// How a search of one count vector is asked to run: set on the search, handed to each run of it.
struct VectorSearchSettings {
  bool firstOnly = false;
  std::int64_t positionLimit = 0;  // 0: none
  // A design must beat this smallest margin (the best found, here or in another search).
  bool beating = false;
  double toBeat = 0.0;
  const StopRequest* stop = nullptr;
};

// What a search of one vector carries along, whatever its form: the caller's settings, the
// outcome so far, and whether it has ended.
struct VectorSearchRun {
  VectorSearchSettings settings;
  VectorSearchOutcome outcome;
  bool finished = false;

  // Whether the search must end now: it has, or a stop was asked, or the positions ran out
  // (then the outcome says stopped).
  bool mustEnd() {
    if (finished) return true;
    const VectorSearchSettings& set = settings;
    if ((set.stop != nullptr && set.stop->requested()) || (set.positionLimit > 0 && outcome.nodes > set.positionLimit)) {
      outcome.status = VectorSearchOutcome::Status::Stopped;
      finished = true;
    }
    return finished;
  }
  // A complete design whose panels' margins are `margins`: from now on only a larger smallest
  // margin counts. Returns where to store the design.
  BlendedDesign& recordDesign(const std::vector<double>& margins) {
    double margin = std::numeric_limits<double>::infinity();
    for (double m : margins) margin = std::min(margin, m);
    outcome.found = true;
    outcome.margin = margin;
    settings.beating = true;
    settings.toBeat = margin;
    if (settings.firstOnly) finished = true;
    return outcome.design;
  }
  // The outcome once the search has returned.
  const VectorSearchOutcome& concluded() {
    if (outcome.status != VectorSearchOutcome::Status::Stopped)
      outcome.status = outcome.found ? VectorSearchOutcome::Status::Found : VectorSearchOutcome::Status::Infeasible;
    return outcome;
  }
};

// The exact search of the blended designs of one count vector (one total per panel), in the
// structure's blending form.
class CountVectorSearch {
 public:
  virtual ~CountVectorSearch() = default;

  // Stops at the first design that meets every requirement instead of the best one.
  void stopAtFirstDesign() { settings_.firstOnly = true; }
  // Looks only for designs whose smallest margin beats `margin` (the best of another vector).
  void beatMargin(double margin) { settings_.beating = true, settings_.toBeat = margin; }
  // Gives up (status Stopped, nothing proved) after this many positions.
  void limitPositions(std::int64_t limit) { settings_.positionLimit = limit; }
  virtual VectorSearchOutcome run(const StopRequest* stop = nullptr) = 0;

 protected:
  // The settings handed to a run that begins. A search may run again (with a larger position
  // limit): it starts afresh, keeping only what it learnt of states that hold no design.
  void begin(VectorSearchRun& run, const StopRequest* stop) const {
    run.outcome = VectorSearchOutcome();
    run.finished = false;
    run.settings = settings_;
    run.settings.stop = stop;
  }

  VectorSearchSettings settings_;
};

class CompletionsCache;

// How a table is built: its guide outer to inner (every panel's bounds read from the first row:
// a vector whose panels cannot meet their requirements shows it within a few positions), or
// thinnest class first (each class's laminate complete and checked before the next: a conflict
// among the thin and middle panels that the guide meets only deep down shows at once). An
// edge-wise structure has its one order.
enum class TableOrder { OuterToInner, ThinnestClassFirst };

// The search of the structure's form: a table, or edge-wise. The structure (and the cache of
// panels' laminates, when given) must outlive it.
std::unique_ptr<CountVectorSearch> makeCountVectorSearch(const BlendedStructure& structure,
                                                         const std::vector<int>& plies,
                                                         CompletionsCache* completions = nullptr,
                                                         TableOrder order = TableOrder::OuterToInner);

}  // namespace kelm
