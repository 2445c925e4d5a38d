#pragma once

#include <memory>
#include <vector>

#include "blend/count_vector_search.h"

namespace kelm {

// The exact search of one count vector in the edge-wise form: each panel's laminate an
// order-preserving continuation of every thicker (or equal) neighbour's, with no common table.
// Panels are designed one after the other, thickest first, each outer to inner. While a panel
// grows, the set of positions of each thicker neighbour its last ply can lie on (with the
// covering kept and at most the allowed run of drops before it, and room left for the rest) is
// carried along; a branch is cut when that set empties, when the panel's rules fail, or when a
// surface bound shows a requirement out of reach or the best smallest margin unbeatable.
class EdgeWiseSearch : public CountVectorSearch {
 public:
  // The structure must outlive the search.
  EdgeWiseSearch(const BlendedStructure& structure, const std::vector<int>& plies);
  ~EdgeWiseSearch() override;
  EdgeWiseSearch(const EdgeWiseSearch&) = delete;
  EdgeWiseSearch& operator=(const EdgeWiseSearch&) = delete;

  VectorSearchOutcome run(const StopRequest* stop = nullptr) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelm
