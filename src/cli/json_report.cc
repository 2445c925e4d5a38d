#include "cli/json_report.h"

#include <iostream>

#include "base/fatal.h"
#include "cli/atomic_file.h"
#include "cli/guarded_main.h"
#include "cli/json_values.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"

namespace kelm {

namespace {

JsonReport* active = nullptr;  // the report a fatal message is recorded in

const char* searchName(Program program, const RunOptions& options) {
  if (program == Program::Iter) {
    if (options.roundRobin) return "round-robin";
    return options.tight ? "branch-and-bound-tight" : "branch-and-bound";
  }
  if (options.roundRobin) return "exhaustive";
  return options.tight ? "simultaneous-tight" : "simultaneous";
}

const char* outcomeName(StopReason reason) {
  switch (reason) {
    case StopReason::None: return "optimal";
    case StopReason::TimeLimit: return "time-limit";
    case StopReason::MemoryLimit: return "memory-limit";
    default: return "interrupted";
  }
}

}  // namespace

JsonReport::JsonReport(std::string file, Program program, std::vector<std::string> arguments)
    : file_(std::move(file)), program_(program), arguments_(std::move(arguments)) {
  active = this;
  setFailureRecordHook(&JsonReport::recordFatal);
}

JsonReport::~JsonReport() {
  if (active == this) {
    active = nullptr;
    setFailureRecordHook(nullptr);
  }
}

void JsonReport::setInputs(const PreparedRun& run, std::uint32_t seed) {
  run_ = &run;
  seed_ = seed;
}

namespace {

// What is known before the outcome: who ran, with what, under which rules.
json runJson(Program program, const std::vector<std::string>& arguments, const PreparedRun* run,
             std::uint32_t seed, const std::string& excludeFile, std::size_t excludedDesigns) {
  json document = {{"program", programName(program)}, {"version", KELM_VERSION},
                   {"arguments", arguments}};
  if (run == nullptr) return document;
  const RunOptions& o = run->options;
  document["inputs"] = {{"skinPlyTotal", o.skinPlyTotal},
                        {"stiffenerPlyTotal", o.stiffenerPlyTotal},
                        {"responseSurfaceFile", o.rsFileName},
                        {"optionLetters", o.optionString}};
  document["rules"] = {{"skin", rulesJson(run->skinRules)}};
  if (o.skinOnly) {
    document["inputs"]["skinOnly"] = true;
  } else {
    document["rules"]["stiffener"] = rulesJson(run->stiffenerRules);
  }
  document["search"] = searchName(program, o);
  if (o.tight && program == Program::Alt)
    document["parallelism"] = {{"threads", o.threads}, {"memoryBudgetBytes", o.memoryBudget}};
  else if (o.tight)
    document["parallelism"] = {{"threads", o.threads}};
  document["seed"] = seed;
  if (!excludeFile.empty())
    document["exclude"] = {{"file", excludeFile}, {"designs", excludedDesigns}};
  return document;
}

}  // namespace

bool JsonReport::writeResult(StopReason reason, const std::vector<PanelDesign>& designs,
                             long long steps, double seconds) {
  json document = runJson(program_, arguments_, run_, seed_, excludeFile_, excludedDesigns_);
  document["outcome"] = {{"status", outcomeName(reason)}, {"exitStatus", stopExitStatus(reason)}};
  json list = json::array();
  for (const PanelDesign& design : designs) {
    list.push_back({{"value", design.value},
                    {"skin", laminateJson(design.skin, run_->options.skinPlyTotal)}});
    if (!run_->options.skinOnly)
      list.back()["stiffener"] = laminateJson(design.stiffener, run_->options.stiffenerPlyTotal);
    if (modes_ != nullptr && !modes_->empty())
      list.back()["surfaces"] =
          surfaceValuesJson(run_->options.rsFileName, run_->model, *modes_, design);
  }
  if (top_ > 0) document["top"] = top_;
  document["designs"] = list;
  document["steps"] = steps;
  document["seconds"] = seconds;
  return write(document.dump(2) + "\n");
}

bool JsonReport::writeInfeasible(const std::string& message, long long steps, double seconds) {
  json document = runJson(program_, arguments_, run_, seed_, excludeFile_, excludedDesigns_);
  document["outcome"] = {{"status", "infeasible"}, {"exitStatus", 1}, {"message", message}};
  document["designs"] = json::array();
  document["steps"] = steps;
  document["seconds"] = seconds;
  return write(document.dump(2) + "\n");
}

void JsonReport::recordFatal(std::string_view message) {
  if (active == nullptr) return;
  json document = runJson(active->program_, active->arguments_, active->run_, active->seed_,
                          active->excludeFile_, active->excludedDesigns_);
  document["outcome"] = {{"status", "error"}, {"exitStatus", 1}, {"message", message}};
  active->write(document.dump(2) + "\n");
}

bool JsonReport::write(const std::string& text) const {
  if (writeFileAtomically(file_, text)) return true;
  beforeOutput();
  std::cerr << "error: cannot write the JSON result to " << file_ << '\n' << std::flush;
  return false;
}

}  // namespace kelm
