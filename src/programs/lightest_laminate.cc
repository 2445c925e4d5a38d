#include "programs/lightest_laminate.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>

#include "base/fatal.h"
#include "base/platform_memory.h"
#include "cli/atomic_file.h"
#include "cli/failure_modes.h"
#include "cli/json_values.h"
#include "cli/stop_signals.h"
#include "cli/timed_search.h"
#include "sizing/lightest_total.h"

namespace kelm {

namespace {

// Every total (pair of totals) of the range, lightest first; of equal weights the thinner skin.
std::vector<PlyTotals> candidatesOf(const PlyRange& range, const PlyWeights& weights) {
  std::vector<PlyTotals> all;
  for (int s = range.skinFirst; s <= range.skinLast; ++s) {
    if (!range.panel()) {
      all.push_back({s, 0, static_cast<double>(s)});
      continue;
    }
    for (int t = range.stiffenerFirst; t <= range.stiffenerLast; ++t)
      all.push_back({s, t, weights.skin * s + weights.stiffener * t});
  }
  sortLightestFirst(all);
  return all;
}

std::string totalsText(const PlyTotals& c) {
  return c.stiffener == 0 ? std::to_string(c.skin)
                          : std::to_string(c.skin) + "/" + std::to_string(c.stiffener);
}

// The positional arguments of one total: [LETTERS] TOTAL(S) RSFILE.
std::vector<std::string> argumentsFor(const std::vector<std::string>& args, const PlyTotals& c) {
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

ExtensionOptions extensionsFor(const ExtensionOptions& extensions, const PlyTotals& c) {
  ExtensionOptions own = extensions;
  for (std::string& file : own.minOfFiles) file = withPlies(file, c.skin, c.stiffener);
  for (auto& [file, limit] : own.requirements) file = withPlies(file, c.skin, c.stiffener);
  return own;
}

// The program's side of a sizing: each total read and searched as kelm_alt would run it alone,
// each decision reported as it is made, and the JSON document at the end.
class SizingRun {
 public:
  SizingRun(std::vector<std::string>& args, const ExtensionOptions& extensions,
            const DriverFactory& makeDriver)
      : args_(args), extensions_(extensions), makeDriver_(makeDriver),
        start_(std::chrono::steady_clock::now()) {}

  int run() {
    SizingSteps steps;
    steps.setUp = [this](const PlyTotals& c) { return setUp(c); };
    steps.skipped = [this](const TotalsDecision& decision) { skipped(decision); };
    steps.search = [this](const PlyTotals& c, std::optional<double> left) {
      return search(c, left);
    };
    steps.secondsUsed = [this] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    };
    const std::vector<PlyTotals> candidates =
        candidatesOf(*extensions_.plies, extensions_.plyWeights.value_or(PlyWeights{}));
    sizing_ = sizeLightestFirst(candidates, extensions_.timeLimit, steps);
    if (sizing_.stopped() && reason_ == StopReason::None) reason_ = StopReason::TimeLimit;
    return finish();
  }

 private:
  // The run of one total, as the search of that total alone would prepare it; its required
  // surfaces for the cheap bound.
  TotalsSetUp setUp(const PlyTotals& c) {
    own_ = extensionsFor(extensions_, c);
    run_ = PreparedRun();
    prepare(c, own_, run_);
    modes_ = readFailureModes(own_);
    TotalsSetUp setUp{run_.skinRules, run_.stiffenerRules, {}};
    required_.clear();
    for (const FailureModes::Mode& mode : modes_.modes) {
      if (!mode.required) continue;
      setUp.requirements.push_back({&mode.surface, mode.limit});
      required_.push_back(&mode);
    }
    return setUp;
  }

  void skipped(const TotalsDecision& decision) {
    const std::string& surface = required_[decision.requirement]->name;
    ruledOutBy_.push_back(surface);
    std::cout << "plies " << totalsText(decision.totals) << ": skipped, " << surface
              << " cannot reach " << decision.limit << " (bound " << decision.bound << ")\n";
  }

  void prepare(const PlyTotals& c, const ExtensionOptions& own, PreparedRun& run) const {
    const std::vector<std::string> args = argumentsFor(args_, c);
    refuseFixedNumbers(args, own);
    RunOptions guidelines;
    own.applyGuidelines(guidelines);
    prepareRun(run, Program::Alt, args, std::cin, std::cout, guidelines);
    run.options.tight = own.tight;
    setThreads(run.options, own);
  }

  TotalsSearched search(const PlyTotals& c, std::optional<double> left) {
    own_.timeLimit = left;
    const std::string plies = "plies " + totalsText(c);
    std::unique_ptr<SearchDriver> driver = makeDriver_(run_, seed());
    driver->setExtraSurfaces(modes_.extras());
    driver->setTop(own_.top);
    TotalsSearched searched;
    searched.seconds = searchWithinMemory(*driver, run_.options, own_);
    searched.steps = driver->totalSteps();
    seconds_ += searched.seconds;
    reason_ = driver->stopReason();
    if (reason_ != StopReason::None) {
      searched.stopped = true;
      std::cout << plies << ": stopped before it was decided\n";
      return searched;
    }
    if (driver->results().empty()) {
      std::cout << plies << ": no design meets the requirements (" << searched.steps
                << " steps)\n";
      return searched;
    }
    searched.found = true;
    std::cout << plies << ":\n";
    driver->report();
    if (!modes_.empty())
      writeSurfaceValues(std::cout, run_.options.rsFileName, run_.model, modes_, driver->results());
    found_ = driver->results();
    return searched;
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

  std::uint32_t seed() const {
    return extensions_.seed.value_or(static_cast<std::uint32_t>(std::time(nullptr)));
  }

  int finish() {
    const PlyRange& range = *extensions_.plies;
    int status = 0;
    if (!found_.empty()) {
      std::cout << "lightest: " << totalsText(sizing_.decisions.back().totals) << " plies\n";
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
    std::size_t ruledOut = 0;
    for (const TotalsDecision& d : sizing_.decisions) {
      json entry = {{"skinPlies", d.totals.skin}};
      if (d.totals.stiffener > 0) {
        entry["stiffenerPlies"] = d.totals.stiffener;
        entry["weight"] = d.totals.weight;
      }
      entry["outcome"] = outcomeName(d.outcome);
      if (d.outcome == TotalsDecision::Outcome::Skipped)
        entry["ruledOutBy"] = {
            {"surface", ruledOutBy_[ruledOut++]}, {"limit", d.limit}, {"bound", d.bound}};
      else
        entry.update({{"steps", d.steps}, {"seconds", d.seconds}});
      totals.push_back(entry);
    }
    json designs = json::array();
    const PlyTotals last = sizing_.decisions.empty() ? PlyTotals{} : sizing_.decisions.back().totals;
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
  ExtensionOptions own_;  // the total being decided: its options, run and failure modes
  PreparedRun run_;
  FailureModes modes_;
  std::vector<const FailureModes::Mode*> required_;
  Sizing sizing_;
  std::vector<std::string> ruledOutBy_;  // the surface of each total skipped, in order
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
