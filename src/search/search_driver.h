#pragma once

#include <vector>

#include "laminate/panel_design.h"
#include "search/search_progress.h"

namespace kelm {

// A search method: run it once with the two ply totals, then report what it found. A run stops
// early when a stop is requested (base/stop_request.h); the report then holds the best designs
// found so far.
class SearchDriver {
 public:
  virtual ~SearchDriver() = default;
  virtual void run(int skinPlyTotal, int stiffenerPlyTotal) = 0;
  virtual void report() = 0;

  // The designs the report lists (the best found so far when the run was stopped) and the
  // steps it counts.
  virtual const std::vector<PanelDesign>& results() const = 0;
  virtual long long totalSteps() const = 0;

  // Readable from another thread while run() goes on.
  const SearchProgress& progress() const { return progress_; }

 protected:
  SearchProgress progress_;
};

}  // namespace kelm
