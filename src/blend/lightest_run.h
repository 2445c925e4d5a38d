#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_structure.h"
#include "blend/count_vector_enumeration.h"
#include "blend/count_vector_search.h"
#include "blend/light_design.h"
#include "blend/lightest_blend.h"
#include "blend/neighbour_conflicts.h"
#include "blend/panel_completions.h"

namespace kelm {

// One run for the certified lightest blended design: the count vectors taken up by increasing
// weight, each decided by its groups of neighbours and its own exact search in rounds of
// growing budgets; the lighter vectors, each proved empty or holding a pair or group that cannot
// be blended, are the certificate. In one process (run), or with its vectors handed out and
// their verdicts settled here (handOut, settle, concludeShared), or deciding one vector for a
// run elsewhere (decideAlone).
class LightestRun {
 public:
  LightestRun(const BlendedStructure& structure, const StopRequest* stop, const VectorProgress& progress,
              const std::vector<int>& start, bool weightOnly);

  void setStop(const StopRequest* stop);
  // What every run needs before its count vectors: each panel's totals that it meets alone, the
  // groups of neighbours, the covering a pair or group is searched with. False when some panel
  // meets none of its totals (or stopped).
  bool learnPanels();
  // The panels learnt, the start vector searched, a light design looked for: the result when
  // the run has ended already.
  std::optional<LightestBlend> prepare();
  LightestBlend run();

  std::optional<std::pair<std::vector<int>, double>> handOut();
  void settle(const std::vector<int>& plies, const VectorVerdict& verdict);
  LightestBlend concludeShared();
  VectorVerdict decideAlone(const std::vector<int>& plies, const StopRequest* stop);

 private:
  enum class Decision { Searched, GroupFails, Undecided, Stopped };

  bool stopped() const { return stop_ != nullptr && stop_->requested(); }
  bool taken(const std::vector<int>& plies) const;
  bool weightCertified(double weight) const;
  LightestBlend raiseMargin();
  Decision raiseMarginOf(const std::vector<int>& plies);
  Decision decideVector(const std::vector<int>& plies, double weight, bool certifying);
  Decision stoppedAt(const std::vector<int>& plies);
  bool annealedDesign(const std::vector<int>& plies, double weight, std::int64_t evaluations);
  bool tryStart();
  Decision tryVector(CountVectorSearch& search, const std::vector<int>& plies, double weight, bool firstOnly,
                     bool certifying);
  void recordEmpty(const std::vector<int>& plies, double weight, std::int64_t nodes);
  LightestBlend reported();
  LightestBlend finished();
  LightestBlend stoppedResult(double pending);

  // The first round's positions for each group, the vector's own per group position, and the
  // guides annealed per group position before a vector's own search.
  static constexpr std::int64_t kFirstGroupBudget = 2000;
  static constexpr std::int64_t kVectorBudgetFactor = 50;
  static constexpr std::int64_t kAnnealFactor = 10;
  // The sides' positions per position of the vector's own search, from the second round on.
  static constexpr std::int64_t kSideShare = 4;
  // The positions of a vector's first look at its own search.
  static constexpr std::int64_t kFirstLook = 1000;

  const BlendedStructure& structure_;
  const StopRequest* stop_;
  const VectorProgress& progress_;
  const std::vector<int>& start_;
  const bool weightOnly_;
  LightestBlend result_;
  CompletionsCache completions_;
  NeighbourConflicts conflicts_;
  CountVectorEnumeration enumeration_;
  LightDesign lightDesign_;
  std::vector<std::vector<int>> lightest_;  // vectors of the lightest weight holding a design
  std::size_t marginAnnealed_ = 0;  // the first of them annealed for a larger margin already
  std::set<std::vector<int>> tried_;
  // Shared runs: vectors handed out and not settled, and those whose decider was stopped.
  std::map<std::vector<int>, double> handedOut_, undecided_;
  bool exhausted_ = false;  // no vector is left to hand out below the design's weight
  BlendedDesign lastDesign_;  // the design of the vector decided last, when it holds one
  double lastMargin_ = 0.0;
  bool lastFound_ = false;  // whether the vector searched last holds a design
  double certified_ = 0.0;  // every vector lighter than this holds no design
};

}  // namespace kelm
