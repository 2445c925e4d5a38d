#include "cli/blend_command_line.h"

#include <sstream>

#include "base/fatal.h"
#include "cli/extension_options.h"

namespace kelm {

namespace {

constexpr const char* kUsage =
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

[[noreturn]] void usageError(const std::string& message) {
  fatal(Stream::Err, "kelm_blend: " + message + "\n" + kUsage, false);
}

}  // namespace

BlendArguments readBlendArguments(int argc, char** argv) {
  BlendArguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--json=", 0) == 0) {
      arguments.jsonFile = arg.substr(7);
    } else if (arg.rfind("--svg=", 0) == 0) {
      arguments.svgFile = arg.substr(6);
    } else if (arg.rfind("--time-limit=", 0) == 0) {
      arguments.timeLimit = timeLimitOf(arg.substr(13));
      if (!arguments.timeLimit) usageError("--time-limit= takes a positive number of seconds");
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

namespace {

// The totals of --start=, one allowed total per panel of the structure.
std::vector<int> startTotalsOf(const std::string& text, const BlendedStructure& structure) {
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
  const std::string fault = startTotalsFault(structure, totals, "--start=");
  if (!fault.empty()) usageError(fault);
  return totals;
}


}  // namespace

const char* blendUsage() { return kUsage; }

BlendRunSettings blendRunSettings(const BlendArguments& arguments, const BlendedStructure& structure) {
  BlendRunSettings settings;
  if (!arguments.start.empty()) settings.start = startTotalsOf(arguments.start, structure);
  settings.weightOnly = arguments.weightOnly;
  settings.workers = arguments.workers;
  return settings;
}

}  // namespace kelm
