#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "blend/count_vector_search.h"
#include "blend/panel_completions.h"

namespace kelm {

// The exact search of one count vector in the stacking-sequence-table form. The guide laminate
// is built outer to inner, one position (code and level) at a time, so every panel's laminate
// grows as a prefix of its final one. A branch is cut when a panel's rules already fail, when a
// pair of neighbours drops more consecutive positions than allowed (or cannot place its
// remaining drops), or when a panel's surface bound shows that a requirement cannot be met or
// that the smallest margin cannot beat the best design found. With every branch either
// searched or cut on a bound, the best design found is the best there is.
class TableSearch : public CountVectorSearch {
 public:
  // The structure (and the cache, when given) must outlive the search. Panels whose laminates
  // the cache holds are followed along their sets of laminates instead of bounded.
  TableSearch(const BlendedStructure& structure, const std::vector<int>& plies,
              CompletionsCache* completions = nullptr);
  ~TableSearch();
  TableSearch(const TableSearch&) = delete;
  TableSearch& operator=(const TableSearch&) = delete;

  VectorSearchOutcome run(const StopRequest* stop = nullptr) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelm
