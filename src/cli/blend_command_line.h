#pragma once

#include <optional>
#include <string>

#include "blend/blend_run.h"
#include "blend/blended_structure.h"

namespace kelm {

// kelm_blend's usage text, for --help and every refused command line.
const char* blendUsage();

// kelm_blend's command line as given (--help and --version are answered before it is read).
struct BlendArguments {
  std::string structure;
  std::string jsonFile;
  std::string svgFile;
  std::optional<double> timeLimit;
  std::string start;  // --start=: totals separated by '/'
  bool weightOnly = false;
  int workers = 0;  // 0: the vectors decided by the enumerating thread itself
};

// Reads kelm_blend's command line; a fault ends with the message and the usage (status 1).
BlendArguments readBlendArguments(int argc, char** argv);

// The run's settings, --start= read against the structure's panels and their allowed totals.
BlendRunSettings blendRunSettings(const BlendArguments& arguments, const BlendedStructure& structure);

}  // namespace kelm
