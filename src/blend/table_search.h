#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// What a search of one count vector ended with.
struct TableSearchOutcome {
  enum class Status { Found, Infeasible, Stopped };
  Status status = Status::Infeasible;
  bool found = false;          // a design is held (also when stopped)
  BlendedDesign design;        // the best design found
  double margin = 0.0;         // its smallest margin
  std::int64_t nodes = 0;      // guide positions tried
};

// The exact search of one count vector in the stacking-sequence-table form. The guide laminate
// is built outer to inner, one position (code and level) at a time, so every panel's laminate
// grows as a prefix of its final one. A branch is cut when a panel's rules already fail, when a
// pair of neighbours drops more consecutive positions than allowed (or cannot place its
// remaining drops), or when a panel's surface bound shows that a requirement cannot be met or
// that the smallest margin cannot beat the best design found. With every branch either
// searched or cut on a bound, the best design found is the best there is.
class TableSearch {
 public:
  // The structure must outlive the search.
  TableSearch(const BlendedStructure& structure, const std::vector<int>& plies);
  ~TableSearch();
  TableSearch(const TableSearch&) = delete;
  TableSearch& operator=(const TableSearch&) = delete;

  // Stops at the first design that meets every requirement instead of the best one.
  void stopAtFirstDesign() { firstOnly_ = true; }
  // Looks only for designs whose smallest margin beats `margin` (the best of another vector).
  void beatMargin(double margin) { beating_ = true, toBeat_ = margin; }
  // Gives up (status Stopped, nothing proved) after this many guide positions.
  void limitPositions(std::int64_t limit) { positionLimit_ = limit; }
  TableSearchOutcome run(const StopRequest* stop = nullptr);

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool firstOnly_ = false;
  std::int64_t positionLimit_ = 0;  // 0: none
  bool beating_ = false;
  double toBeat_ = 0.0;
};

}  // namespace kelm
