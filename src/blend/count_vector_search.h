#pragma once

#include <cstdint>
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

// The exact search of the blended designs of one count vector (one total per panel), in the
// structure's blending form.
class CountVectorSearch {
 public:
  virtual ~CountVectorSearch() = default;

  // Stops at the first design that meets every requirement instead of the best one.
  void stopAtFirstDesign() { firstOnly_ = true; }
  // Looks only for designs whose smallest margin beats `margin` (the best of another vector).
  void beatMargin(double margin) { beating_ = true, toBeat_ = margin; }
  // Gives up (status Stopped, nothing proved) after this many positions.
  void limitPositions(std::int64_t limit) { positionLimit_ = limit; }
  virtual VectorSearchOutcome run(const StopRequest* stop = nullptr) = 0;

 protected:
  bool firstOnly_ = false;
  std::int64_t positionLimit_ = 0;  // 0: none
  bool beating_ = false;
  double toBeat_ = 0.0;
};

// The search of the structure's form: a table, or edge-wise. The structure must outlive it.
std::unique_ptr<CountVectorSearch> makeCountVectorSearch(const BlendedStructure& structure,
                                                         const std::vector<int>& plies);

}  // namespace kelm
