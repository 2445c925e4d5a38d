#pragma once

#include <vector>

#include "base/fatal.h"
#include "base/stop_request.h"
#include "laminate/panel_design.h"
#include "search/excluded_designs.h"
#include "search/extra_surfaces.h"
#include "search/search_progress.h"

namespace kelm {

// A search method: run it once with the two ply totals, then report what it found. A run stops
// early when its stop request is set (from another thread or a signal handler); the report then
// holds the best designs found so far.
class SearchDriver {
 public:
  SearchDriver() = default;
  SearchDriver(const SearchDriver&) = delete;
  SearchDriver& operator=(const SearchDriver&) = delete;
  virtual ~SearchDriver() = default;
  virtual void run(int skinPlyTotal, int stiffenerPlyTotal) = 0;
  virtual void report() = 0;

  // The designs the report lists (the best found so far when the run was stopped) and the
  // steps it counts.
  virtual const std::vector<PanelDesign>& results() const = 0;
  virtual long long totalSteps() const = 0;

  // Further failure modes (the smallest of several surfaces, requirements), set before run();
  // a method that cannot take them says so.
  virtual void setExtraSurfaces(const ExtraSurfaces& extras) {
    if (!extras.empty())
      fatal(Stream::Err, "error: --min-of= and --require= are not available in this search", true);
  }

  // Designs never to report (nor to start from), set before run(); the set belongs to the
  // caller and outlives the search. A method that cannot pass designs over says so.
  virtual void setExcludedDesigns(const ExcludedDesigns& excluded) {
    if (!excluded.empty())
      fatal(Stream::Err, "error: --exclude= is available in kelm_alt's searches only", true);
  }

  // The K best designs in falling value instead of the best and its ties (K >= 1), set before
  // run(). A method that cannot rank designs says so.
  virtual void setTop(int k) {
    if (k > 0) fatal(Stream::Err, "error: --top= is available in kelm_alt's searches only", true);
  }

  // Readable from another thread while run() goes on.
  const SearchProgress& progress() const { return progress_; }

  // Where to ask this search to stop; the threads of one search share their master's.
  StopRequest& stopRequest() { return ownStop_; }
  StopReason stopReason() const { return stop_->reason(); }

  // The step counter on standard error (on by default); a caller that shows its own progress,
  // or has no console, switches it off before the run.
  void setStepCounterShown(bool shown) { progress_.stepCounterShown = shown; }

 protected:
  bool stopRequested() const { return stop_->requested(); }
  // The request this search reads (its master's in a worker), for set-up steps that take long.
  const StopRequest& stopRequestRead() const { return *stop_; }
  // A worker thread of a search stops when its master is asked to.
  void readStopRequestOf(const SearchDriver& master) { stop_ = master.stop_; }
  // The search stops itself (and its master's threads) when what it must hold passes its budget.
  void stopForMemory() { stop_->request(StopReason::MemoryLimit); }
  // The search stops itself (and its master's threads) when its steps reach the caller's limit.
  void stopForSteps() { stop_->request(StopReason::StepLimit); }

  SearchProgress progress_;

 private:
  StopRequest ownStop_;
  StopRequest* stop_ = &ownStop_;
};

}  // namespace kelm
