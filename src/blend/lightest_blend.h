#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// A count vector proved to hold no blended design, and why.
struct RuledOutVector {
  std::vector<int> plies;
  double weight = 0.0;
  std::string why;
};

// A panel total ruled out before any vector: the panel alone cannot meet its requirements.
struct RuledOutTotal {
  int panel = 0;
  int plies = 0;
  std::string why;  // "bound" (a surface's ceiling is below its limit) or "search"
};

// Two panels at two totals that no design can hold together, and why: every count vector that
// holds them is ruled out.
struct RuledOutPair {
  std::string first;
  int firstPlies = 0;
  std::string second;
  int secondPlies = 0;
  std::string why;
};

// A connected group of three to six panels at their totals that no design can hold together:
// every count vector that holds them is ruled out.
struct RuledOutGroup {
  std::vector<std::string> panels;
  std::vector<int> plies;
  std::string why;
};

struct LightestBlend {
  enum class Status { Optimal, Infeasible, Stopped };
  Status status = Status::Infeasible;
  bool found = false;
  BlendedDesign design;  // the lightest design, the best smallest margin among its weight
  double margin = 0.0;
  double weight = 0.0;
  // Every vector lighter than this was proved to hold no design: the certified lower bound of
  // the weight (equal to `weight` when optimal).
  double lowerBound = 0.0;
  std::vector<RuledOutTotal> ruledOutTotals;
  std::vector<RuledOutPair> ruledOutPairs;    // in the order learned
  std::vector<RuledOutGroup> ruledOutGroups;  // in the order learned
  std::vector<RuledOutVector> ruledOut;     // vectors searched without a design, by weight
  std::vector<int> pending;  // stopped: the count vector being searched, if any
  std::string startOutcome;  // what the start vector held, when one was given and decided
  std::int64_t vectorsTried = 0;
  std::int64_t nodes = 0;
  std::int64_t guidesAnnealed = 0;  // guides tried by the annealing that looks for designs
  // Whether the design's smallest margin is proved the largest among the lightest designs
  // (optimal runs that were not asked for the weight alone).
  bool marginMaximised = false;
  // The count vectors were decided by this many workers elsewhere (0: in the run itself).
  int workers = 0;

  // Takes the design when it is lighter than the one held, or as light with a larger smallest
  // margin.
  void keep(const BlendedDesign& candidate, double candidateMargin, double candidateWeight);
};

// Whether `weight` is heavier than `lightest`: weights summed from other totals can differ in
// the last bits where they are equal in fact.
bool heavierThan(double weight, double lightest);

// Called once per count vector before it is searched (its totals and weight).
using VectorProgress = std::function<void(const std::vector<int>& plies, double weight)>;

// The lightest blended design of the structure: every panel total a panel cannot meet alone is
// ruled out first (by a surface's ceiling, or by searching the panel alone); then the count
// vectors are searched by increasing weight until one holds a design, each one the lightest
// not searched yet whose pairs of panels can be blended (pairs are searched alone once and
// remembered); every vector of the same weight is searched too, and the design of the largest
// smallest margin is kept. The lighter vectors, each proved empty or holding a pair that cannot
// be blended, are the certificate.
//
// `start`, when given (one allowed total per panel, e.g. a known design's), is searched first
// for a design: found, it bounds the weight from above from the outset, so that a run stopped
// early still reports a design and its certified gap. `weightOnly`: the run ends once the
// weight is certified, with the first design found of that weight (its margin not raised).
LightestBlend findLightestBlend(const BlendedStructure& structure, const StopRequest* stop = nullptr,
                                const VectorProgress& progress = {}, const std::vector<int>& start = {},
                                bool weightOnly = false);

// What a decider elsewhere (another process or machine) proved of one count vector: a design
// (its first, found by annealing or by the exact search), no design, a group of its panels that
// cannot be blended (the panels' indices and totals), or nothing (stopped).
struct VectorVerdict {
  enum class Kind { Design, Empty, GroupFails, Undecided };
  Kind kind = Kind::Undecided;
  BlendedDesign design;
  double margin = 0.0;
  std::vector<int> group, groupPlies;
  std::int64_t nodes = 0;
  std::int64_t guidesAnnealed = 0;
};

class LightestRun;

// findLightestBlend with its count vectors decided elsewhere: the enumeration, the pairs, the
// start vector and the light design stay here; each vector handed out goes to a VectorDecider
// (any process's: the verdict is all that comes back) and is settled in whatever order the
// verdicts arrive. Vectors are handed out by increasing weight, never heavier than the design
// held. When no vector is left to hand out and every one has been settled, conclude() raises
// the margin here, as one process does, so the answer is the one process's.
class SharedBlendRun {
 public:
  SharedBlendRun(const BlendedStructure& structure, const StopRequest* stop, std::vector<int> start = {},
                 bool weightOnly = false);
  ~SharedBlendRun();
  // The panels alone, the start vector and a light design: false when the run has ended already.
  bool prepare();
  // The lightest vector not handed out yet that may hold a design lighter than the one held
  // (nothing when none is left, or stopped), with its weight.
  std::optional<std::pair<std::vector<int>, double>> handOut();
  void settle(const std::vector<int>& plies, const VectorVerdict& verdict);
  // The result: optimal or infeasible once everything is settled, otherwise stopped with the
  // lightest vector not settled as the certified bound.
  LightestBlend conclude();

 private:
  std::vector<int> start_;
  VectorProgress progress_;
  std::unique_ptr<LightestRun> run_;
  std::optional<LightestBlend> ended_;
};

// Decides count vectors for a SharedBlendRun. It keeps what it learns between vectors (each
// panel's totals, groups of neighbours proved, the panels' sets of laminates), so one decider
// per process serves every vector that process is handed. The structure is its own copy.
class VectorDecider {
 public:
  explicit VectorDecider(const BlendedStructure& structure);
  ~VectorDecider();
  VectorVerdict decide(const std::vector<int>& plies, const StopRequest* stop);

 private:
  BlendedStructure structure_;
  std::vector<int> start_;
  VectorProgress progress_;
  std::unique_ptr<LightestRun> run_;
  bool learnt_ = false;
};

}  // namespace kelm
