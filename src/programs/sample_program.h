#pragma once

namespace kelm {

// kelm_sample SKIN_TOTAL STIFFENER_TOTAL COUNT [OPTION LETTERS] [options]: a sampling plan of
// buildable designs for fitting a response surface, as CSV; returns the exit status.
int runSampleProgram(int argc, char** argv);

}  // namespace kelm
