#include "cli/blend_program.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "base/fatal.h"
#include "blend/blend_check.h"
#include "blend/blend_document.h"
#include "blend/blend_picture.h"
#include "blend/lightest_blend.h"
#include "blend/shared_threads.h"
#include "blend/structure_file.h"
#include "cli/atomic_file.h"
#include "cli/blended_design_file.h"
#include "cli/live_progress.h"
#include "cli/stop_signals.h"

namespace kelm {

namespace {

constexpr const char* kBlendUsage =
    "usage: kelm_blend STRUCTURE.json [--json=FILE] [--time-limit=S] [--svg=FILE] [--start=T1/T2/...]\n"
    "                  [--weight-only] [--workers=N]\n"
    "  The lightest design of the structure's panels whose plies run on from panel to panel\n"
    "  (one stacking-sequence table, or edge-wise: each thinner neighbour a continuation of the\n"
    "  thicker), every panel's requirements met; among the lightest, the\n"
    "  largest smallest margin. Count vectors are tried by increasing weight, each searched\n"
    "  exactly; the lighter ones, each proved to hold no design, certify the weight.\n"
    "  --json=FILE      the result as a JSON document (status, weight, lower_bound, panels, ...)\n"
    "  --time-limit=S   stop after S seconds with the best design found and the certified gap\n"
    "  --svg=FILE       a picture of the panels and their stacks\n"
    "  --start=T1/T2/.. one total per panel (a known design's) searched first for a design, so\n"
    "                   that a run stopped early reports a design and its certified gap\n"    "  --weight-only    end once the weight is certified, with the first design of that weight\n"
    "                   (its smallest margin not raised)\n"
    "  --workers=N      count vectors decided by N threads while one enumerates them (the same\n"
    "                   answer; the light design's descent is not shared)\n"
    "  Check any blended design: kelm_eval --structure STRUCTURE.json DESIGN.json\n";

struct BlendArguments {
  std::string structure;
  std::string jsonFile;
  std::string svgFile;
  std::optional<double> timeLimit;
  std::string start;  // --start=: totals separated by '/'
  bool weightOnly = false;
  int workers = 0;  // 0: the vectors decided by the enumerating thread itself
};

[[noreturn]] void usageError(const std::string& message) {
  fatal(Stream::Err, "kelm_blend: " + message + "\n" + kBlendUsage, false);
}

BlendArguments readArguments(int argc, char** argv) {
  BlendArguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--json=", 0) == 0) {
      arguments.jsonFile = arg.substr(7);
    } else if (arg.rfind("--svg=", 0) == 0) {
      arguments.svgFile = arg.substr(6);
    } else if (arg.rfind("--time-limit=", 0) == 0) {
      char* end = nullptr;
      const std::string value = arg.substr(13);
      const double seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(seconds > 0.0) || !std::isfinite(seconds))
        usageError("--time-limit= takes a positive number of seconds");
      arguments.timeLimit = seconds;
    } else if (arg.rfind("--start=", 0) == 0) {
      arguments.start = arg.substr(8);
      if (arguments.start.empty()) usageError("--start= takes one ply total per panel, e.g. 24/20/16");
    } else if (arg == "--weight-only") {
      arguments.weightOnly = true;
    } else if (arg.rfind("--workers=", 0) == 0) {
      const std::string value = arg.substr(10);
      char* end = nullptr;
      const long workers = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || workers < 1 || workers > 256)
        usageError("--workers= takes a whole number of threads from 1 to 256");
      arguments.workers = static_cast<int>(workers);
    } else if (arg.rfind("--", 0) == 0) {
      usageError("unknown option " + arg);
    } else if (arguments.structure.empty()) {
      arguments.structure = arg;
    } else {
      usageError("one structure file only");
    }
  }
  if (arguments.structure.empty()) usageError("a structure file is needed");
  return arguments;
}

// The totals of --start=, one allowed total per panel of the structure.
std::vector<int> startTotals(const std::string& text, const BlendedStructure& structure) {
  std::vector<int> totals;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, '/')) {
    char* end = nullptr;
    const long total = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || total < 1 || total > 128)
      usageError("--start= takes whole ply totals separated by '/', not \"" + item + "\"");
    totals.push_back(static_cast<int>(total));
  }
  if (totals.size() != structure.panels.size())
    usageError("--start= has " + std::to_string(totals.size()) + " totals; the structure has " +
               std::to_string(structure.panels.size()) + " panels");
  for (std::size_t p = 0; p < totals.size(); ++p)
    if (structure.panels[p].at(totals[p]) == nullptr)
      usageError("--start=: " + std::to_string(totals[p]) + " plies is not an allowed total of panel " +
                 structure.panels[p].name);
  return totals;
}

std::string numberText(double value) {
  std::ostringstream out;
  out << std::setprecision(10) << value;
  return out.str();
}

std::string pliesText(const std::vector<int>& plies) {
  std::string text;
  for (int p : plies) {
    if (!text.empty()) text += '/';
    text += std::to_string(p);
  }
  return text;
}

bool edgeWise(const BlendedStructure& structure) { return structure.blending.form == BlendForm::EdgeWise; }

// A class's column heading: its ply total, or both totals ("37/38") where an odd total shares
// the class's positions, its innermost one as the mid-plane ply.
std::string classHeading(const std::vector<int>& plies, int positions) {
  const bool odd = std::find(plies.begin(), plies.end(), 2 * positions - 1) != plies.end();
  const bool even = std::find(plies.begin(), plies.end(), 2 * positions) != plies.end();
  if (odd && even) return std::to_string(2 * positions - 1) + "/" + std::to_string(2 * positions);
  return std::to_string(odd ? 2 * positions - 1 : 2 * positions);
}

// One column per count class (its ply total), one row per guide position; a dot where the
// class drops the position.
void writeTable(std::ostream& out, const BlendedDesign& design) {
  const std::vector<int> classes = countClasses(design.plies);
  out << "stacking-sequence table (rows outer to inner, columns by ply total):\n";
  out << std::setw(8) << "position";
  for (int c : classes) out << std::setw(6) << classHeading(design.plies, c);
  out << '\n';
  for (std::size_t i = 0; i < design.guide.size(); ++i) {
    out << std::setw(8) << i + 1;
    for (std::size_t c = 0; c < classes.size(); ++c) {
      if (design.guide[i].level <= static_cast<int>(c) + 1)
        out << std::setw(6) << guideAngle(design.guide[i].code);
      else
        out << std::setw(6) << ".";
    }
    out << '\n';
  }
}

// The surface that sets a panel's smallest margin: the one to watch (every value is in the JSON
// document).
std::size_t criticalSurface(const PanelTotal& total, const PanelValues& values) {
  std::size_t critical = 0;
  for (std::size_t s = 0; s < total.surfaces.size(); ++s)
    if (values.values[s] - total.surfaces[s].limit < values.values[critical] - total.surfaces[critical].limit)
      critical = s;
  return critical;
}

// A stiffened panel's stiffener, after its skin.
void writeStiffener(std::ostream& out, const BlendPanel& panel, const BlendedDesign& design, std::size_t p) {
  if (panel.stiffener.plies > 0 && p < design.stiffeners.size())
    out << ", stiffener " << panel.stiffener.plies << " plies " << design.stiffeners[p].bracketText();
}

void writePanels(std::ostream& out, const BlendedStructure& structure, const BlendedDesign& design,
                 const BlendVerdict& verdict) {
  for (std::size_t p = 0; p < structure.panels.size(); ++p) {
    const PanelTotal* total = structure.panels[p].at(design.plies[p]);
    out << structure.panels[p].name << ": " << design.plies[p] << " plies " << design.laminates[p].bracketText();
    writeStiffener(out, structure.panels[p], design, p);
    const LaminateRules& rules = structure.panels[p].rules;
    if (rules.plyNumbersFixed) out << " (ply numbers " << rules.ply0 << '/' << rules.ply45 << '/' << rules.ply90 << ')';
    if (!total->surfaces.empty()) {
      const std::size_t s = criticalSurface(*total, verdict.panels[p]);
      const ModeSurface& mode = total->surfaces[s];
      out << "  smallest margin " << numberText(verdict.panels[p].margin) << ": " << mode.name << " = "
          << numberText(verdict.panels[p].values[s]);
      if (mode.required) out << " (>= " << numberText(mode.limit) << ")";
    }
    out << '\n';
  }
}

constexpr std::size_t kListedVectors = 20;

void writeCertificate(std::ostream& out, const BlendedStructure& structure, const LightestBlend& result) {
  for (const RuledOutTotal& total : result.ruledOutTotals)
    out << "ruled out: " << structure.panels[total.panel].name << " at " << total.plies << " plies alone ("
        << (total.why == "bound" ? "a required surface's ceiling is below its limit" : "searched: no design")
        << ")\n";
  out << "pairs of totals that cannot be blended: " << result.ruledOutPairs.size() << '\n';
  for (std::size_t i = 0; i < result.ruledOutPairs.size() && i < kListedVectors; ++i) {
    const RuledOutPair& pair = result.ruledOutPairs[i];
    out << "  " << pair.first << " at " << pair.firstPlies << " plies, " << pair.second << " at " << pair.secondPlies
        << ": " << pair.why << '\n';
  }
  if (result.ruledOutPairs.size() > kListedVectors)
    out << "  ... " << result.ruledOutPairs.size() - kListedVectors << " more in the JSON document\n";
  if (!result.ruledOutGroups.empty())
    out << "groups of neighbours that cannot be blended: " << result.ruledOutGroups.size() << '\n';
  for (std::size_t i = 0; i < result.ruledOutGroups.size() && i < kListedVectors; ++i) {
    const RuledOutGroup& group = result.ruledOutGroups[i];
    out << " ";
    for (std::size_t k = 0; k < group.panels.size(); ++k)
      out << (k > 0 ? ", " : " ") << group.panels[k] << " at " << group.plies[k] << " plies";
    out << ": " << group.why << '\n';
  }
  if (result.ruledOutGroups.size() > kListedVectors)
    out << "  ... " << result.ruledOutGroups.size() - kListedVectors << " more in the JSON document\n";
  out << "count vectors searched: " << result.vectorsTried << ", without a design: " << result.ruledOut.size()
      << '\n';
  for (std::size_t i = 0; i < result.ruledOut.size() && i < kListedVectors; ++i) {
    const RuledOutVector& vector = result.ruledOut[i];
    out << "  " << pliesText(vector.plies) << " weight " << numberText(vector.weight) << ": " << vector.why << '\n';
  }
  if (result.ruledOut.size() > kListedVectors)
    out << "  ... " << result.ruledOut.size() - kListedVectors << " more in the JSON document\n";
}

void writeReport(std::ostream& out, const BlendedStructure& structure, const LightestBlend& result,
                 const BlendVerdict& verdict, double seconds) {
  out << "panels: " << structure.panels.size() << ", neighbour pairs: " << structure.adjacent.size()
      << ", covering " << structure.blending.covering << ", at most " << structure.blending.maxDrops
      << " consecutive drops" << (edgeWise(structure) ? ", edge-wise" : "") << '\n';
  if (result.found) {
    writePanels(out, structure, result.design, verdict);
    if (!edgeWise(structure)) writeTable(out, result.design);
    out << "weight = " << numberText(result.weight) << '\n';
    out << "smallest margin = " << numberText(result.margin);
    if (result.status == LightestBlend::Status::Optimal && !result.marginMaximised)
      out << " (not raised: --weight-only, the first design found of the lightest weight)";
    out << '\n';
  } else {
    out << "no blended design found\n";
  }
  writeCertificate(out, structure, result);
  if (result.status == LightestBlend::Status::Stopped && result.found && !(result.lowerBound < result.weight)) {
    out << "lower bound = " << numberText(result.lowerBound)
        << " (certified: the weight is the lightest; stopped while raising the smallest margin)\n";
  } else if (result.status == LightestBlend::Status::Stopped) {
    out << "lower bound = " << numberText(result.lowerBound) << " (every lighter count vector holds no design)\n";
    if (result.found) out << "gap = " << numberText(result.weight - result.lowerBound) << '\n';
  } else if (result.found) {
    out << "lower bound = " << numberText(result.lowerBound) << " (certified: the weight is the lightest)\n";
  }
  if (!result.startOutcome.empty()) out << "start: " << result.startOutcome << '\n';
  if (!result.pending.empty())
    out << "searching when stopped: " << pliesText(result.pending) << '\n';
  out << "status: " << blendStatusName(result.status) << '\n';
  if (result.guidesAnnealed > 0) out << "guides annealed: " << result.guidesAnnealed << '\n';
  if (result.workers > 0) out << "count vectors decided by " << result.workers << " workers\n";
  out << (edgeWise(structure) ? "positions searched: " : "guide positions searched: ") << result.nodes
      << ", time = " << std::fixed << std::setprecision(3)
      << seconds << " [s]\n";
  out.unsetf(std::ios::fixed);
}

// On a terminal only: the count vector being searched (vectors are taken by increasing weight,
// so its weight is the certified lower bound), how many were taken and the time, on one line
// redrawn five times a second (a vector's search can take minutes) that the report replaces.
class ProgressLine {
 public:
  ProgressLine() : shown_(LiveProgress::standardErrorIsTerminal()) {
    if (shown_) thread_ = std::thread([this] { redraw(); });
  }
  ~ProgressLine() {
    if (!shown_) return;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::cerr << "\r\033[K" << std::flush;
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  VectorProgress callback() {
    if (!shown_) return {};
    return [this](const std::vector<int>& plies, double weight) {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++vectors_;
      plies_ = pliesText(plies);
      weight_ = weight;
    };
  }

 private:
  void redraw() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stopping_; })) {
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      std::ostringstream line;
      line << std::fixed << std::setprecision(1) << seconds << " s  ";
      if (vectors_ == 0)
        line << "ruling out totals and annealing a first design";
      else
        line << "count vector " << vectors_ << ", lower bound " << numberText(weight_) << ": " << plies_;
      std::cerr << "\r\033[K" << line.str() << std::flush;
    }
  }

  const bool shown_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  long long vectors_ = 0;
  std::string plies_;
  double weight_ = 0.0;
  std::thread thread_;
};

int exitStatus(const LightestBlend& result, StopReason reason) {
  if (result.status == LightestBlend::Status::Stopped) return stopExitStatus(reason);
  return result.found ? 0 : 2;
}

}  // namespace

int runBlendProgram(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kBlendUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "kelm_blend (kelm) " KELM_VERSION "\n";
      return 0;
    }
  }
  const BlendArguments arguments = readArguments(argc, argv);
  const BlendedStructure structure = readStructureFile(arguments.structure);
  const std::vector<int> startVector =
      arguments.start.empty() ? std::vector<int>{} : startTotals(arguments.start, structure);
  StopRequest stop;
  const auto start = std::chrono::steady_clock::now();
  LightestBlend result;
  {
    StopSignals signals(stop, arguments.timeLimit);
    ProgressLine progress;
    result = arguments.workers > 0 ? findLightestBlendShared(structure, arguments.workers, &stop, progress.callback(),
                                                             startVector, arguments.weightOnly)
                                   : findLightestBlend(structure, &stop, progress.callback(), startVector,
                                                       arguments.weightOnly);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  BlendVerdict verdict;
  if (result.found) {
    verdict = checkBlendedDesign(structure, result.design);
    if (!verdict.holds())  // the search and the check disagree: never report such a design
      fatal(Stream::Err, "kelm_blend: internal error: the design found breaks " + verdict.breaks.front().rule + ": " +
                             verdict.breaks.front().where, true);
  }
  writeReport(std::cout, structure, result, verdict, seconds);
  if (!arguments.jsonFile.empty() &&
      !writeFileAtomically(arguments.jsonFile, blendDocument(structure, result, verdict, seconds)))
    fatal(Stream::Err, "kelm_blend: cannot write " + arguments.jsonFile, true, FailureKind::File);
  if (!arguments.svgFile.empty() && result.found &&
      !writeFileAtomically(arguments.svgFile, blendPicture(structure, result.design)))
    fatal(Stream::Err, "kelm_blend: cannot write " + arguments.svgFile, true, FailureKind::File);
  return exitStatus(result, stop.reason());
}

int runStructureCheck(const std::vector<std::string>& args) {
  if (args.size() != 2)
    fatal(Stream::Err, "kelm_eval: usage: kelm_eval --structure STRUCTURE.json DESIGN.json", true);
  const BlendedStructure structure = readStructureFile(args[0]);
  std::optional<double> statedWeight;
  const BlendedDesign design = readDesignFile(args[1], structure, &statedWeight);
  BlendVerdict verdict = checkBlendedDesign(structure, design);
  // A document that states a weight the panels do not have was edited or belongs to another
  // structure: its weight is part of what is checked.
  if (statedWeight && verdict.breaks.empty() &&
      std::fabs(*statedWeight - verdict.weight) > 1e-9 * std::max(1.0, std::fabs(verdict.weight)))
    verdict.breaks.push_back({"weight", "the file states " + numberText(*statedWeight) + ", the panels weigh " +
                                            numberText(verdict.weight)});
  for (std::size_t p = 0; p < verdict.panels.size(); ++p) {
    if (verdict.panels[p].values.empty()) continue;
    const PanelTotal* total = structure.panels[p].at(design.plies[p]);
    std::cout << structure.panels[p].name << ": " << design.plies[p] << " plies "
              << design.laminates[p].bracketText();
    writeStiffener(std::cout, structure.panels[p], design, p);
    std::cout << "  margin " << numberText(verdict.panels[p].margin);
    for (std::size_t s = 0; s < total->surfaces.size(); ++s)
      std::cout << "  " << total->surfaces[s].name << " = " << numberText(verdict.panels[p].values[s]);
    std::cout << '\n';
  }
  for (const RuleBreak& broken : verdict.breaks) std::cout << "broken: " << broken.rule << ": " << broken.where << '\n';
  if (!verdict.holds()) return 1;
  std::cout << "weight = " << numberText(verdict.weight) << '\n';
  std::cout << "smallest margin = " << numberText(verdict.margin) << '\n';
  std::cout << "every rule and requirement holds\n";
  return 0;
}

}  // namespace kelm
