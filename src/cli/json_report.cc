#include "cli/json_report.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "base/fatal.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelm {

namespace {

using json = nlohmann::ordered_json;

JsonReport* active = nullptr;  // the report a fatal message is recorded in

json laminateJson(const StackingSequence& sequence, int plyTotal) {
  json angles = json::array();
  int count[3] = {0, 0, 0};
  for (int position = 1; position <= sequence.plyCount(); ++position) {
    const int code = sequence.codeAt(position);
    angles.push_back(code == kCode0 ? 0 : code == kCode90 ? 90 : 45);
    if (code < 3) ++count[code];
  }
  const double* lp = sequence.parameters();
  return {{"plyTotal", plyTotal},
          {"angles", angles},
          {"printed", sequence.bracketText()},
          {"halfPlyCounts", {{"0", count[kCode0]}, {"45", count[kCode45]}, {"90", count[kCode90]}}},
          {"inPlane", {lp[0], lp[1]}},
          {"bending", {lp[2], lp[3]}}};
}

json rulesJson(const LaminateRules& rules) {
  json fixed = nullptr;
  if (rules.plyNumbersFixed) fixed = {{"0", rules.ply0}, {"45", rules.ply45}, {"90", rules.ply90}};
  return {{"balance", rules.balance},
          {"fourPlyRule", rules.fourPlyRule},
          {"fixedHalfPlyNumbers", fixed},
          {"minSharePercent", rules.minSharePercent},
          {"maxRun", rules.maxRun},
          {"noCrossPlyJump", rules.noCrossPlyJump},
          {"outer45", rules.outer45}};
}

const char* searchName(Program program, bool roundRobin) {
  if (program == Program::Iter) return roundRobin ? "round-robin" : "branch-and-bound";
  return roundRobin ? "exhaustive" : "simultaneous";
}

const char* outcomeName(StopReason reason) {
  switch (reason) {
    case StopReason::None: return "optimal";
    case StopReason::TimeLimit: return "time-limit";
    default: return "interrupted";
  }
}

}  // namespace

JsonReport::JsonReport(std::string file, Program program, std::vector<std::string> arguments)
    : file_(std::move(file)), program_(program), arguments_(std::move(arguments)) {
  active = this;
  setFatalRecordHook(&JsonReport::recordFatal);
}

JsonReport::~JsonReport() {
  if (active == this) {
    active = nullptr;
    setFatalRecordHook(nullptr);
  }
}

void JsonReport::setInputs(const PreparedRun& run, std::uint32_t seed) {
  run_ = &run;
  seed_ = seed;
}

namespace {

// What is known before the outcome: who ran, with what, under which rules.
json runJson(Program program, const std::vector<std::string>& arguments,
                    const PreparedRun* run, std::uint32_t seed) {
  json document = {{"program", programName(program)}, {"version", KELM_VERSION},
                   {"arguments", arguments}};
  if (run == nullptr) return document;
  const RunOptions& o = run->options;
  document["inputs"] = {{"skinPlyTotal", o.skinPlyTotal},
                        {"stiffenerPlyTotal", o.stiffenerPlyTotal},
                        {"responseSurfaceFile", o.rsFileName},
                        {"optionLetters", o.optionString}};
  document["rules"] = {{"skin", rulesJson(run->skinRules)},
                       {"stiffener", rulesJson(run->stiffenerRules)}};
  document["search"] = searchName(program, o.roundRobin);
  document["seed"] = seed;
  return document;
}

}  // namespace

bool JsonReport::writeResult(StopReason reason, const std::vector<PanelDesign>& designs,
                             long long steps, double seconds) {
  json document = runJson(program_, arguments_, run_, seed_);
  document["outcome"] = {{"status", outcomeName(reason)}, {"exitStatus", stopExitStatus(reason)}};
  json list = json::array();
  for (const PanelDesign& design : designs) {
    list.push_back({{"value", design.value},
                    {"skin", laminateJson(design.skin, run_->options.skinPlyTotal)},
                    {"stiffener", laminateJson(design.stiffener, run_->options.stiffenerPlyTotal)}});
  }
  document["designs"] = list;
  document["steps"] = steps;
  document["seconds"] = seconds;
  return write(document.dump(2) + "\n");
}

void JsonReport::recordFatal(std::string_view message) {
  if (active == nullptr) return;
  json document = runJson(active->program_, active->arguments_, active->run_, active->seed_);
  document["outcome"] = {{"status", "error"}, {"exitStatus", 1}, {"message", message}};
  active->write(document.dump(2) + "\n");
}

// Into a fresh file next to the target, then renamed over it.
bool JsonReport::write(const std::string& text) const {
  std::string temporary = file_ + ".XXXXXX";
  bool written = false;
#ifndef _WIN32
  const int descriptor = mkstemp(temporary.data());
  if (descriptor >= 0) fchmod(descriptor, 0644);  // as an ordinary new file, not private
  std::FILE* out = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
#else
  temporary = file_ + ".tmp";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
#endif
  if (out != nullptr) {
    written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    written = std::fclose(out) == 0 && written;
    std::error_code error;
    if (written) std::filesystem::rename(temporary, file_, error);
    written = written && !error;
    if (!written) std::filesystem::remove(temporary, error);
  }
  if (!written) {
    beforeOutput();
    std::cerr << "error: cannot write the JSON result to " << file_ << '\n' << std::flush;
  }
  return written;
}

}  // namespace kelm
