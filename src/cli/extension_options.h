#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/ply_range.h"
#include "cli/run_options.h"

namespace kelm {

// The options that are not part of the programs' own argument forms. Each is an exact word or
// a --name= prefix; they are taken out of the argument list wherever they stand, and the rest
// is read by the argument forms unchanged.
struct ExtensionOptions {
  bool help = false;     // --help, or -h as the only argument
  bool version = false;  // --version
  std::optional<std::uint32_t> seed;  // --seed=N: the random start instead of the clock
  std::string jsonFile;               // --json=FILE: the result as a JSON document
  std::string designsFile;            // --designs=FILE (kelm_eval): many designs, - for stdin
  std::string svgFile;                // --svg=FILE (kelm_eval): a picture of each design
  bool check = false;                 // --check (kelm_eval): check a response-surface file
  std::optional<double> timeLimit;    // --time-limit=SECONDS: stop the search then
  // Design guidelines, for all three programs.
  double minSharePercent = 0.0;  // --min-share=P: each orientation at least P % of the plies
  int maxRun = 0;                // --max-run=N: at most N equal 0 or 90 deg positions in a row
  bool noCrossPlyJump = false;   // --no-cross-ply-jump: no 0 deg position next to a 90 deg one
  bool outer45 = false;          // --outer-45: the outermost position is +-45 deg
  // --ply-numbers=S0,S45,S90[:T0,T45,T90] (the searches, kelm_sample): fixed ply numbers
  PlyNumbersOption plyNumbers;
  // --skin-only (kelm_alt, kelm_eval, kelm_sample, kelm_fit): one laminate, the skin's
  bool skinOnly = false;
  bool tight = false;            // --tight (the searches): the tight tree search
  int threads = 0;               // --threads=N (the searches): threads of the tight search (0:
                                 // the cores)
  std::int64_t memoryBudget = 0; // --memory=SIZE (kelm_alt): bytes the open designs may take
                                 // (0: half the machine's memory)
  std::string excludeFile;       // --exclude=FILE (kelm_alt): designs never to report
  int top = 0;                   // --top=K (kelm_alt): the K best designs (0: the best, tied)
  // Sizing (kelm_alt): --plies=A:B[/C:D] tries the totals lightest first, by --weights=S,T.
  std::optional<PlyRange> plies;
  std::optional<PlyWeights> plyWeights;

  // Further failure modes (the searches and kelm_eval): --min-of=FILE makes the objective the
  // smallest of the surfaces; --require=FILE:LIMIT allows only designs whose value of FILE is
  // at least LIMIT. Both repeatable, in the order given.
  std::vector<std::string> minOfFiles;
  std::vector<std::pair<std::string, double>> requirements;

  // The surface workflow (kelm_sample, kelm_fit).
  std::string outFile;                 // --out=FILE: the plan (CSV) or the surface (.rs)
  int poolSize = 0;                    // --pool=N (kelm_sample): random designs to choose from
  std::vector<std::string> responses;  // --response=COLUMN (kelm_fit), one surface each
  std::string weightColumn;            // --weight=COLUMN (kelm_fit): weights of the samples
  std::optional<double> cap;           // --cap=VALUE (kelm_fit): fit min(response, VALUE)
  // --target=t1,...,t8 and --weights=w1,...,w8 (kelm_fit); with --skin-only four each, for
  // x1, x2, x5 and x6.
  std::vector<double> target;
  std::vector<double> targetWeights;

  // The guidelines into the options both laminates' rules are filled from.
  void applyGuidelines(RunOptions& options) const;
};

// Takes the extension options out of `args` (the arguments after the program name). The
// searches know all but those of kelm_eval (--check, --designs=, --svg=); kelm_eval knows
// --help, --version, --json=, its own and the guidelines; kelm_sample and kelm_fit know
// --help, --version, --svg=, --out= and their own (kelm_sample also --seed= and the
// guidelines). A value
// out of range ends the run with one message.
ExtensionOptions takeExtensionOptions(std::vector<std::string>& args, Program program);

// The seconds of a --time-limit= value: a finite number greater than 0, written whole (no
// trailing characters); nothing otherwise, for the program to say so in its own words.
std::optional<double> timeLimitOf(const std::string& value);

}  // namespace kelm
