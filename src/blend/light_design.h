#pragma once

#include <cstdint>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_structure.h"
#include "blend/guide_annealing.h"
#include "blend/lightest_blend.h"
#include "blend/neighbour_conflicts.h"

namespace kelm {

// The designs a run finds by annealing guides: they prove nothing, but a design held early lets
// a stopped run report a design and its gap and stops the enumeration at its weight, and a
// larger margin found first cuts more of each exact search. Designs found go to `record` (kept
// when lighter, or as light with a larger smallest margin), with the guides tried.
class LightDesign {
 public:
  LightDesign(const BlendedStructure& structure, LightestBlend& record);

  void setStop(const StopRequest* stop) { stop_ = stop; }
  // A design of the vector by annealing its guide from `near` (when it has one); each annealing
  // draws from a seed of its own.
  AnnealingOutcome anneal(const std::vector<int>& plies, std::int64_t evaluations, const BlendedDesign* near,
                          AnnealingGoal goal = AnnealingGoal::FirstDesign);
  // A design grown class by class, and one of every panel a few totals above its lightest (when
  // lighter than that), then lighter ones, a panel at a time, until no panel can be lightened.
  void descend(const std::vector<std::vector<int>>& options, const NeighbourConflicts& conflicts);
  // The design of the largest smallest margin annealing meets for a vector of the lightest
  // weight, started from the best design held.
  void raiseMargin(const std::vector<int>& plies);

 private:
  bool stopped() const { return stop_ != nullptr && stop_->requested(); }
  void grow(const std::vector<std::vector<int>>& options);
  bool lightenOne(std::vector<int>& plies, std::vector<std::size_t>& index, const std::vector<int>& order,
                  const std::vector<std::vector<int>>& options, const NeighbourConflicts& conflicts);
  bool lightened(std::vector<int>& plies, std::vector<std::size_t>& index, int p,
                 const std::vector<std::vector<int>>& options, const NeighbourConflicts& conflicts);
  std::int64_t lighteningEvaluations() const;

  // Guides annealed for each vector of the descent; how many plies (in steps of allowed totals)
  // every panel is raised at most to find the descent's first design; guides annealed to raise
  // the margin of a vector of the lightest weight.
  static constexpr std::int64_t kLightDesignEvaluations = 200000;
  static constexpr std::size_t kLightDesignRaises = 4;
  static constexpr std::int64_t kMarginEvaluations = 1000000;

  const BlendedStructure& structure_;
  BlendedStructure tableForm_;  // edge-wise: the same structure blended by a table, for annealing
  LightestBlend& record_;
  const StopRequest* stop_ = nullptr;
  std::uint64_t annealingSeed_ = 0;  // each annealing draws from its own seed
  BlendedDesign last_;  // the descent's last design, where its next step's annealing starts
};

}  // namespace kelm
