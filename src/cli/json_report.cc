#include "cli/json_report.h"

#include "search/design_report.h"

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

// A design's document as an item of the top-level list: on its own line, every line indented
// as the whole document's dump would indent it.
std::string listItem(const std::string& item, bool first) {
  std::string indented = first ? "\n    " : ",\n    ";
  for (const char c : item) {
    indented += c;
    if (c == '\n') indented += "    ";
  }
  return indented;
}

}  // namespace

// The designs are written one by one into the document's text: a plateau of ties can list
// millions of them, whose document held whole would take many times their own memory.
bool JsonReport::writeResult(StopReason reason, const std::vector<PanelDesign>& designs,
                             long long steps, double seconds) {
  json document = runJson(program_, arguments_, run_, seed_, excludeFile_, excludedDesigns_);
  document["outcome"] = {{"status", outcomeName(reason)}, {"exitStatus", stopExitStatus(reason)}};
  // A stopped run lists the designs its text report lists, and says how many more it held.
  const std::size_t listed = reason == StopReason::None
                                 ? designs.size()
                                 : std::min(designs.size(), kDesignsListedWhenStopped);
  if (listed < designs.size()) document["outcome"]["designsNotListed"] = designs.size() - listed;
  if (top_ > 0) document["top"] = top_;
  document["designs"] = json::array();
  document["steps"] = steps;
  document["seconds"] = seconds;
  const std::string text = document.dump(2) + "\n";
  const std::string_view emptyList = "\n  \"designs\": []";
  const std::size_t at = text.rfind(emptyList);
  if (designs.empty() || at == std::string::npos) return write(text);
  const std::string_view before = std::string_view(text).substr(0, at + emptyList.size() - 1);
  const std::string_view after = std::string_view(text).substr(at + emptyList.size());
  return write([&](const TextSink& sink) {
    if (!sink(before)) return false;
    for (std::size_t i = 0; i < listed; ++i)
      if (!sink(listItem(designJson(designs[i]).dump(2), i == 0))) return false;
    return sink("\n  ]") && sink(after);
  });
}

json JsonReport::designJson(const PanelDesign& design) const {
  json entry = {{"value", design.value},
                {"skin", laminateJson(design.skin, run_->options.skinPlyTotal)}};
  if (!run_->options.skinOnly)
    entry["stiffener"] = laminateJson(design.stiffener, run_->options.stiffenerPlyTotal);
  if (modes_ != nullptr && !modes_->empty())
    entry["surfaces"] = surfaceValuesJson(run_->options.rsFileName, run_->model, *modes_, design);
  return entry;
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
  return write([&](const TextSink& sink) { return sink(text); });
}

bool JsonReport::write(const std::function<bool(const TextSink&)>& produce) const {
  if (writeFileAtomically(file_, produce)) return true;
  beforeOutput();
  std::cerr << "error: cannot write the JSON result to " << file_ << '\n' << std::flush;
  return false;
}

}  // namespace kelm
