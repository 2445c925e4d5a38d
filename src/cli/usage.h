#pragma once

#include <string>

#include "cli/command_line.h"

namespace kelm {

// The program's name as the user types it.
const char* programName(Program program);

// What --help prints: the argument forms, the option letters and the extension options.
std::string usageText(Program program);

// What --version prints: program, project and version, one line.
std::string versionLine(Program program);

}  // namespace kelm
