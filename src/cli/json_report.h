#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/stop_request.h"
#include "cli/atomic_file.h"
#include "cli/command_line.h"
#include "cli/failure_modes.h"
#include "cli/run_setup.h"
#include "laminate/panel_design.h"

namespace kelm {

// The result of a run as one JSON document (--json=FILE): program and version, arguments and
// answers, rules, seed, outcome, every reported design, steps and seconds. It is written when
// the search ends, and also when the run ends with an error message. The document goes to a
// temporary file in the same folder first and is renamed into place, so no reader ever sees
// half of one.
class JsonReport {
 public:
  JsonReport(std::string file, Program program, std::vector<std::string> arguments);
  ~JsonReport();
  JsonReport(const JsonReport&) = delete;
  JsonReport& operator=(const JsonReport&) = delete;

  void setInputs(const PreparedRun& run, std::uint32_t seed);
  // The further failure modes: each design then lists every surface's value.
  void setFailureModes(const FailureModes& modes) { modes_ = &modes; }
  // --top=K: the designs are the K best, best first (0: the best and its ties).
  void setTop(int k) { top_ = k; }
  // --exclude=FILE: the file and how many distinct designs it excluded.
  void setExclusion(const std::string& file, std::size_t designs) {
    excludeFile_ = file;
    excludedDesigns_ = designs;
  }
  // A search under requirements that found no design that meets them: the outcome "infeasible"
  // with the message, exit status 1.
  bool writeInfeasible(const std::string& message, long long steps, double seconds);
  // Writes the document of a search that ended (`reason` None) or was stopped; false, with a
  // message on standard error, when the file cannot be written.
  bool writeResult(StopReason reason, const std::vector<PanelDesign>& designs, long long steps,
                   double seconds);

 private:
  static void recordFatal(std::string_view message);
  bool write(const std::string& text) const;
  bool write(const std::function<bool(const TextSink&)>& produce) const;
  nlohmann::ordered_json designJson(const PanelDesign& design) const;

  std::string file_;
  Program program_;
  std::vector<std::string> arguments_;
  const PreparedRun* run_ = nullptr;
  std::uint32_t seed_ = 0;
  const FailureModes* modes_ = nullptr;
  std::string excludeFile_;
  std::size_t excludedDesigns_ = 0;
  int top_ = 0;
};

}  // namespace kelm
