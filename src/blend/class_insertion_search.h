#pragma once

#include <memory>
#include <vector>

#include "blend/count_vector_search.h"
#include "blend/panel_completions.h"

namespace kelm {

// The exact search of one count vector in the stacking-sequence-table form, thinnest class
// first. The thinnest class's laminate is chosen whole, then each thicker class's laminate is
// the last one with its own rows inserted (its level's positions of the guide), outer to inner.
// Every class's laminate is complete when its step ends, so its panels are checked exactly
// (their sets of laminates, or their complete requirements) and every pair of neighbours whose
// thicker panel is of that class has all its drops placed, before any thicker class is chosen.
// A conflict among the thin and middle panels, which the outer-to-inner search meets only deep
// in the guide after every thick panel's choices, is met here within the first few classes.
// It finds the same designs as TableSearch (every table is one chain of insertions).
class ClassInsertionSearch : public CountVectorSearch {
 public:
  // The structure (and the cache, when given) must outlive the search.
  ClassInsertionSearch(const BlendedStructure& structure, const std::vector<int>& plies,
                       CompletionsCache* completions = nullptr);
  ~ClassInsertionSearch();
  ClassInsertionSearch(const ClassInsertionSearch&) = delete;
  ClassInsertionSearch& operator=(const ClassInsertionSearch&) = delete;

  VectorSearchOutcome run(const StopRequest* stop = nullptr) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelm
