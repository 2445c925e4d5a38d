#pragma once

namespace kelm {

// The whole life of kelm_eval: one design from the command line, or every design of a designs
// file (--designs=FILE, - for standard input), each reported with its rule verdicts and value;
// with --json=FILE also as one JSON document. Returns the exit status.
int runEvalProgram(int argc, char** argv);

}  // namespace kelm
