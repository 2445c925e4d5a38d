// Where the tight search's steps go on thick laminates: the count tables' set-up (processor
// time, memory), the count-coupled bound at the root (the boxes' bound, and the key the search
// gives it at the best value known, each over that value), the
// first best value the local search hands to the tree, and a run (one thread unless set) within
// a step limit: the steps, the best value it reached, whether it proved it, and the designs tied.
// usage: kelm_thick_profile OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE STEP_LIMIT [BEST_KNOWN]
// (KELM_EXPANSION_BATCH=N in the environment sets the first phase's batch size,
// KELM_PROFILE_THREADS=N its threads)
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "alt/count_coupled_bound.h"
#include "alt/simultaneous_search.h"
#include "cli/run_setup.h"
#include "silenced.h"

namespace {

using namespace kelm;

double processorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}


}  // namespace

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    std::cerr << "usage: kelm_thick_profile OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE STEP_LIMIT "
                 "[BEST_KNOWN]\n";
    return 2;
  }
  const std::vector<std::string> args(argv + 1, argv + 5);
  const long long stepLimit = std::stoll(argv[5]);
  PreparedRun run;
  std::istringstream noInput;
  prepareRun(run, Program::Alt, args, noInput, std::cout);
  const int skin = run.options.skinPlyTotal;
  const int stiffener = run.options.stiffenerPlyTotal;

  const double beforeTables = processorSeconds();
  CountCoupledBound bound;
  bound.setModel(run.model, skin, stiffener, run.skinRules, run.stiffenerRules);
  const double tableSeconds = processorSeconds() - beforeTables;
  PanelDesign root;
  root.skin.setPlyTotal(skin);
  root.stiffener.setPlyTotal(stiffener);
  const double rootBound = bound.evaluate(root, -std::numeric_limits<double>::infinity());
  const CountCoupledBound::Parts parts = bound.lastParts();
  // With no best value to reach the pair scan ends at its first pair: this is the boxes' bound,
  // not the key the search gives the root (printed after the run, at the best value found).
  std::printf("%s %d/%d: tables %.2f s, %.0f MB peak; root's boxes' bound %.6f (own parts %.4f + "
              "%.4f at value %.4f)\n",
              argv[1], skin, stiffener, tableSeconds, peakMegabytes(), rootBound, parts.skinOwn,
              parts.stiffenerOwn, parts.value);

  SimultaneousSearch search(run.model, run.skinRules, run.stiffenerRules, 1, true);
  // KELM_PROFILE_THREADS=N: the tree on N threads (one by default).
  const char* threads = std::getenv("KELM_PROFILE_THREADS");
  search.setParallelism(threads ? std::max(1, std::atoi(threads)) : 1, 0);
  // KELM_EXPANSION_BATCH=N: the first phase's batch size (1: one design at a time).
  if (const char* batch = std::getenv("KELM_EXPANSION_BATCH")) search.setExpansionBatch(std::atoi(batch));
  search.setStepLimit(stepLimit);
  const double before = processorSeconds();
  {
    const Silenced quiet;
    search.run(skin, stiffener);
  }
  const double seconds = processorSeconds() - before;
  const bool proved = search.stopReason() == StopReason::None;
  const double best = search.results().empty() ? 0.0 : search.results().front().value;
  const double known = argc == 7 ? std::stod(argv[6]) : best;
  bound.setFullPairScan(true);
  const double rootKey = bound.evaluate(root, known);
  std::printf("  first best %.10f, %s %.10f after %lld steps (%.1f processor s, %.0f MB peak), "
              "%zu tied; root's boxes' bound %.6f and key %.3e over the best, first-best gap "
              "%.2e\n",
              search.firstBestValue(), proved ? "optimum" : "best found", best,
              search.totalSteps(), seconds, peakMegabytes(), search.results().size(),
              rootBound - known, rootKey - known, known - search.firstBestValue());
  // How much work the threads could share: the first phase's batches (a thread each design of
  // a batch) and the subtrees handed over after it.
  const SimultaneousSearch::ShareOut& shared = search.shareOut();
  std::printf("  first phase %lld batches, %.1f designs a batch on average, %lld children taken "
              "as evaluated ahead; %zu subtrees after it\n",
              shared.batches,
              shared.batches > 0 ? static_cast<double>(shared.batchedDesigns) / shared.batches : 0.0,
              shared.childrenTakenAhead, shared.subtrees);
  return 0;
}
