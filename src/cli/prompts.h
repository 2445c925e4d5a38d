#pragma once

#include <iosfwd>
#include <string>

#include "cli/run_options.h"

namespace kelm {

// An integer answer; anything that does not read as one ends the run ("error: invalid input").
int readInt(std::istream& in);

// One word, delimited by white space as stream extraction delimits it, at most as long as the
// longest path the system opens.
std::string readWord(std::istream& in);

// The four questions on `out` (ply totals, response-surface file, option letters) when the
// command line has none of the argument forms.
void promptForInputs(RunOptions& options, std::istream& in, std::ostream& out);

}  // namespace kelm
