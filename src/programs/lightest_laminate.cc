#include "programs/lightest_laminate.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>

#include "alt/surface_ceiling.h"
#include "base/fatal.h"
#include "base/platform_memory.h"
#include "cli/atomic_file.h"
#include "cli/failure_modes.h"
#include "cli/json_values.h"
#include "cli/stop_signals.h"
#include "cli/timed_search.h"
#include "search/search_constants.h"

namespace kelm {

namespace {

struct Candidate {
  int skin = 0;
  int stiffener = 0;  // 0: one laminate
  double weight = 0.0;
};

// Every total (pair of totals) of the range, lightest first; of equal weights the thinner skin.
std::vector<Candidate> candidatesOf(const PlyRange& range, const PlyWeights& weights) {
  std::vector<Candidate> all;
  for (int s = range.skinFirst; s <= range.skinLast; ++s) {
    if (!range.panel()) {
      all.push_back({s, 0, static_cast<double>(s)});
      continue;
    }
    for (int t = range.stiffenerFirst; t <= range.stiffenerLast; ++t)
      all.push_back({s, t, weights.skin * s + weights.stiffener * t});
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const Candidate& a, const Candidate& b) { return a.weight < b.weight; });
  return all;
}

std::string totalsText(const Candidate& c) {
  return c.stiffener == 0 ? std::to_string(c.skin)
                          : std::to_string(c.skin) + "/" + std::to_string(c.stiffener);
}

// What was decided for one total.
struct Decision {
  Candidate totals;
  std::string outcome;  // "skipped", "none", "found" or "stopped"
  std::string surface;  // skipped: the requirement no design can meet
  double limit = 0.0;
  double bound = 0.0;
  long long steps = 0;
  double seconds = 0.0;
};

// The positional arguments of one total: [LETTERS] TOTAL(S) RSFILE.
std::vector<std::string> argumentsFor(const std::vector<std::string>& args, const Candidate& c) {
  if (args.empty() || args.size() > 2)
    fatal(Stream::Err,
          "error: --plies= takes the surface file alone (RSFILE, the option letters before it "
          "if any), with {plies} (a panel: {skin} and {stiffener}) in its name",
          true);
  std::vector<std::string> full;
  if (args.size() == 2) full.push_back(args[0]);
  full.push_back(std::to_string(c.skin));
  if (c.stiffener > 0) full.push_back(std::to_string(c.stiffener));
  full.push_back(withPlies(args.back(), c.skin, c.stiffener));
  return full;
}

ExtensionOptions extensionsFor(const ExtensionOptions& extensions, const Candidate& c) {
  ExtensionOptions own = extensions;
  for (std::string& file : own.minOfFiles) file = withPlies(file, c.skin, c.stiffener);
  for (auto& [file, limit] : own.requirements) file = withPlies(file, c.skin, c.stiffener);
  return own;
}

// A requirement that no design of these totals can meet, by the cheap bound.
bool ruledOut(const PreparedRun& run, const FailureModes& modes, Decision& decision) {
  for (const FailureModes::Mode& mode : modes.modes) {
    if (!mode.required) continue;
    const double bound = surfaceCeiling(mode.surface, run.options.skinPlyTotal,
                                        run.options.stiffenerPlyTotal, run.skinRules,
                                        run.stiffenerRules, mode.limit);
    if (bound < mode.limit - kTieTolerance) {
      decision.outcome = "skipped";
      decision.surface = mode.name;
      decision.limit = mode.limit;
      decision.bound = bound;
      return true;
    }
  }
  return false;
}

class SizingRun {
 public:
  SizingRun(std::vector<std::string>& args, const ExtensionOptions& extensions,
            const DriverFactory& makeDriver)
      : args_(args), extensions_(extensions), makeDriver_(makeDriver),
        start_(std::chrono::steady_clock::now()) {}

  int run() {
    const std::vector<Candidate> candidates =
        candidatesOf(*extensions_.plies, extensions_.plyWeights.value_or(PlyWeights{}));
    for (const Candidate& c : candidates) {
      Decision decision;
      decision.totals = c;
      const bool last = decide(decision);
      decisions_.push_back(decision);
      if (last) break;
    }
    return finish();
  }

 private:
  // True when the sizing ends here: a design found, or the run stopped.
  bool decide(Decision& decision) {
    const Candidate& c = decision.totals;
    ExtensionOptions own = extensionsFor(extensions_, c);
    if (!remainingTime(own)) {
      decision.outcome = "stopped";
      reason_ = StopReason::TimeLimit;
      return true;
    }
    PreparedRun run;
    prepare(c, own, run);
    const FailureModes modes = readFailureModes(own);
    if (ruledOut(run, modes, decision)) {
      std::cout << "plies " << totalsText(c) << ": skipped, " << decision.surface
                << " cannot reach " << decision.limit << " (bound " << decision.bound << ")\n";
      return false;
    }
    return search(decision, run, modes, own);
  }

  // The run of one total, as the search of that total alone would prepare it.
  void prepare(const Candidate& c, const ExtensionOptions& own, PreparedRun& run) const {
    const std::vector<std::string> args = argumentsFor(args_, c);
    refuseFixedNumbers(args, own);
    RunOptions guidelines;
    own.applyGuidelines(guidelines);
    prepareRun(run, Program::Alt, args, std::cin, std::cout, guidelines);
    run.options.tight = own.tight;
    setThreads(run.options, own);
  }

  bool search(Decision& decision, const PreparedRun& run, const FailureModes& modes,
              const ExtensionOptions& own) {
    const std::string plies = "plies " + totalsText(decision.totals);
    std::unique_ptr<SearchDriver> driver = makeDriver_(run, seed());
    driver->setExtraSurfaces(modes.extras());
    driver->setTop(own.top);
    decision.seconds = searchWithinMemory(*driver, run.options, own);
    decision.steps = driver->totalSteps();
    seconds_ += decision.seconds;
    reason_ = driver->stopReason();
    if (reason_ != StopReason::None) {
      decision.outcome = "stopped";
      std::cout << plies << ": stopped before it was decided\n";
      return true;
    }
    if (driver->results().empty()) {
      decision.outcome = "none";
      std::cout << plies << ": no design meets the requirements (" << decision.steps
                << " steps)\n";
      return false;
    }
    decision.outcome = "found";
    std::cout << plies << ":\n";
    driver->report();
    if (!modes.empty())
      writeSurfaceValues(std::cout, run.options.rsFileName, run.model, modes, driver->results());
    found_ = driver->results();
    return true;
  }

  // Ply numbers fixed for one total mean nothing across totals; refused before the dialog
  // could ask for them.
  static void refuseFixedNumbers(const std::vector<std::string>& args,
                                 const ExtensionOptions& own) {
    const bool letterP = args.size() > 2 && args[0].find('p') != std::string::npos &&
                         args.size() == (own.skinOnly ? 3u : 4u);
    if (letterP || own.plyNumbers.given())
      fatal(Stream::Err,
            "error: --plies= sizes laminates of many totals; letter p and --ply-numbers= fix "
            "the numbers of one",
            true);
  }

  static void setThreads(RunOptions& options, const ExtensionOptions& extensions) {
    const unsigned cores = std::thread::hardware_concurrency();
    options.threads =
        extensions.threads > 0 ? extensions.threads : static_cast<int>(std::max(1u, cores));
    options.memoryBudget = extensions.memoryBudget > 0
                               ? extensions.memoryBudget
                               : static_cast<long long>(physicalMemoryBytes() / 2);
  }

  // The time limit is the whole sizing's: each search gets what is left.
  bool remainingTime(ExtensionOptions& own) const {
    if (!extensions_.timeLimit) return true;
    const double used =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    own.timeLimit = *extensions_.timeLimit - used;
    return *own.timeLimit > 0.0;
  }

  std::uint32_t seed() const {
    return extensions_.seed.value_or(static_cast<std::uint32_t>(std::time(nullptr)));
  }

  int finish() {
    const PlyRange& range = *extensions_.plies;
    int status = 0;
    if (!found_.empty()) {
      std::cout << "lightest: " << totalsText(decisions_.back().totals) << " plies\n";
    } else if (reason_ != StopReason::None) {
      std::cout << "sizing stopped: the totals above are decided, the others are not\n";
      status = stopExitStatus(reason_);
    } else {
      status = 1;
    }
    std::cout << "caluclation time = " << seconds_ << " [s]" << '\n' << '\n';
    std::cout.flush();
    if (status == 1)
      std::cerr << "error: no total from " << range.skinFirst << " to " << range.skinLast
                << " plies has a design that meets the requirements\n";
    if (!extensions_.jsonFile.empty() && !writeJson(status)) return 1;
    return status;
  }

  bool writeJson(int status) const {
    json totals = json::array();
    for (const Decision& d : decisions_) {
      json entry = {{"skinPlies", d.totals.skin}};
      if (d.totals.stiffener > 0) {
        entry["stiffenerPlies"] = d.totals.stiffener;
        entry["weight"] = d.totals.weight;
      }
      entry["outcome"] = d.outcome;
      if (d.outcome == "skipped")
        entry["ruledOutBy"] = {{"surface", d.surface}, {"limit", d.limit}, {"bound", d.bound}};
      else
        entry.update({{"steps", d.steps}, {"seconds", d.seconds}});
      totals.push_back(entry);
    }
    json designs = json::array();
    const Candidate& last = decisions_.empty() ? Candidate{} : decisions_.back().totals;
    for (const PanelDesign& design : found_) {
      designs.push_back({{"value", design.value}, {"skin", laminateJson(design.skin, last.skin)}});
      if (last.stiffener > 0)
        designs.back()["stiffener"] = laminateJson(design.stiffener, last.stiffener);
    }
    const char* name = !found_.empty() ? "optimal" : status == 1 ? "infeasible" : "stopped";
    json document = {{"program", "kelm_alt"},
                     {"version", KELM_VERSION},
                     {"arguments", args_},
                     {"outcome", {{"status", name}, {"exitStatus", status}}},
                     {"totals", totals}};
    document["lightest"] = found_.empty() ? json(nullptr) : json(totalsText(last));
    document["designs"] = designs;
    if (writeFileAtomically(extensions_.jsonFile, document.dump(2) + "\n")) return true;
    std::cerr << "error: cannot write the JSON result to " << extensions_.jsonFile << '\n';
    return false;
  }

  std::vector<std::string>& args_;
  const ExtensionOptions& extensions_;
  const DriverFactory& makeDriver_;
  std::chrono::steady_clock::time_point start_;
  std::vector<Decision> decisions_;
  std::vector<PanelDesign> found_;
  StopReason reason_ = StopReason::None;
  double seconds_ = 0.0;
};

}  // namespace

int sizeTheLaminate(std::vector<std::string>& args, const ExtensionOptions& extensions,
                    const DriverFactory& makeDriver) {
  if (extensions.plies->panel() == extensions.skinOnly)
    fatal(Stream::Err,
          "error: --plies= takes FIRST:LAST with --skin-only, FIRST:LAST/FIRST:LAST for a panel",
          true);
  return SizingRun(args, extensions, makeDriver).run();
}

}  // namespace kelm
