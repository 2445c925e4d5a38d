#include "programs/blend_program.h"

#include <chrono>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

#include "base/fatal.h"
#include "blend/blend_document.h"
#include "blend/blend_picture.h"
#include "blend/blend_run.h"
#include "blend/structure_file.h"
#include "cli/atomic_file.h"
#include "cli/blend_command_line.h"
#include "cli/blend_report.h"
#include "cli/stop_signals.h"
#include "cli/terminal_line.h"

namespace kelm {

namespace {

// On a terminal only: the count vector being searched (vectors are taken by increasing weight,
// so its weight is the certified lower bound) and how many were taken, redrawn five times a
// second (a vector's search can take minutes) on the live line the report replaces.
class VectorLine {
 public:
  VectorLine() : line_([this](double seconds) { return text(seconds); }, std::chrono::milliseconds(200), shown_) {}

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
  std::string text(double seconds) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::ostringstream line;
    line << std::fixed << std::setprecision(1) << seconds << " s  ";
    if (vectors_ == 0)
      line << "ruling out totals and annealing a first design";
    else
      line << "count vector " << vectors_ << ", lower bound " << numberText(weight_) << ": " << plies_;
    return line.str();
  }

  const bool shown_ = TerminalLine::standardErrorIsTerminal();
  std::mutex mutex_;
  long long vectors_ = 0;
  std::string plies_;
  double weight_ = 0.0;
  TerminalLine line_;  // last: its thread reads the members above
};

int exitStatus(const LightestBlend& result, StopReason reason) {
  if (result.status == LightestBlend::Status::Stopped) return stopExitStatus(reason);
  return result.found ? 0 : 2;
}

void writeOrFail(const std::string& file, const std::string& text) {
  if (!writeFileAtomically(file, text)) fatal(Stream::Err, "kelm_blend: cannot write " + file, true, FailureKind::File);
}

}  // namespace

int runBlendProgram(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << blendUsage();
      return 0;
    }
    if (arg == "--version") {
      std::cout << "kelm_blend (kelm) " KELM_VERSION "\n";
      return 0;
    }
  }
  const BlendArguments arguments = readBlendArguments(argc, argv);
  const BlendedStructure structure = readStructureFile(arguments.structure);
  const BlendRunSettings settings = blendRunSettings(arguments, structure);
  StopRequest stop;
  const auto start = std::chrono::steady_clock::now();
  LightestBlend result;
  {
    StopSignals signals(stop, arguments.timeLimit);
    VectorLine line;
    result = runLightestBlend(structure, settings, &stop, line.callback());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const BlendVerdict verdict = checkedVerdict(structure, result, "kelm_blend");
  writeBlendReport(std::cout, structure, result, verdict, seconds);
  if (!arguments.jsonFile.empty()) writeOrFail(arguments.jsonFile, blendDocument(structure, result, verdict, seconds));
  if (!arguments.svgFile.empty() && result.found) writeOrFail(arguments.svgFile, blendPicture(structure, result.design));
  return exitStatus(result, stop.reason());
}

}  // namespace kelm
