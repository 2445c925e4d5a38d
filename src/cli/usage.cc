#include "cli/usage.h"

namespace kelm {

namespace {

constexpr const char* kSearchLetters =
    "OPTIONS (letters, an optional leading '-'; default -b):\n"
    "  r  exhaustive search instead of branch and bound\n"
    "  b  balance rule (default)      n  no balance rule\n"
    "  f  4-ply rule                  p  fix the ply number of each orientation\n";

constexpr const char* kSearchExtensions =
    "Extension options (anywhere on the line):\n"
    "  --help, -h            this text          --version   the version\n"
    "  --seed=N              seed the random start with N instead of the clock\n"
    "  --json=FILE           also write the result as a JSON document to FILE\n"
    "  --time-limit=SECONDS  stop then and report the best designs found so far\n"
    "  --ply-numbers=S0,S45,S90[:T0,T45,T90]  fixed ply numbers of the designed halves,\n"
    "                        as letter p's dialog asks them, without asking (':T0,T45,T90'\n"
    "                        fixes the stiffener alone)\n"
    "Ctrl-C (or SIGTERM) stops a search the same way; status 130 (143, 124 for the limit).\n"
    "Design guidelines (both laminates; off unless given):\n"
    "  --min-share=P         each orientation at least P % of the plies (0 < P <= 33)\n"
    "  --max-run=N           at most N equal 0 or 90 deg plies in a row (N >= 1)\n"
    "  --no-cross-ply-jump   no 0 deg ply next to a 90 deg ply\n"
    "  --outer-45            the outermost ply is +-45 deg\n"
    "Several failure modes (repeatable; the report then gives every surface's value):\n"
    "  --min-of=FILE         maximise the smallest of RSFILE and FILE\n"
    "  --require=FILE:LIMIT  only designs whose value of FILE is at least LIMIT\n";

std::string iterUsage() {
  return std::string(
             "usage: kelm_iter SKIN_TOTAL STIFFENER_TOTAL RSFILE\n"
             "       kelm_iter OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE\n"
             "       kelm_iter OPTIONS SKIN_TOTAL STIFFENER_TOTAL SKIN_0 SKIN_45 STIFFENER_0 "
             "STIFFENER_45 RSFILE\n"
             "The iterative method: optimises one laminate with the other held fixed, in turns.\n"
             "Any other argument count asks for the inputs on the console.\n") +
         kSearchLetters + kSearchExtensions +
         "Tight search (not with option r):\n"
         "  --tight               each turn finds the same designs with far fewer steps: the\n"
         "                        count bound of the searched laminate and sharper cuts\n"
         "  --threads=N           the turns of a round searched N at a time (default: the\n"
         "                        cores); the report is the same for every N\n";
}

std::string altUsage() {
  return std::string(
             "usage: kelm_alt SKIN_TOTAL STIFFENER_TOTAL RSFILE\n"
             "       kelm_alt OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE\n"
             "       kelm_alt --skin-only [OPTIONS] SKIN_TOTAL RSFILE\n"
             "The alternative method: both laminates in one branch-and-bound tree.\n"
             "Any other argument count asks for the inputs on the console.\n"
             "  --skin-only           one laminate alone (a plate, or a skin): its surface reads\n"
             "                        only x1, x2, x5 and x6; every search, rule and option as\n"
             "                        for a panel, fixed numbers by --ply-numbers=S0,S45,S90\n") +
         kSearchLetters + kSearchExtensions +
         "Tight search (not with option r):\n"
         "  --tight               the same optimal designs with far fewer steps: a sharper\n"
         "                        bound, sharper cuts and a better first best value\n"
         "  --threads=N           threads of the tight search (default: the cores); the\n"
         "                        report is the same for every N\n"
         "  --memory=SIZE         memory its open designs may take, e.g. 500M or 2G (default:\n"
         "                        half the machine's); beyond it the search goes depth-first;\n"
         "                        tied designs past half of it stop the search\n"
         "Alternative designs (every search):\n"
         "  --top=K               the K best designs, best first, each followed by\n"
         "                        'value = V'; designs tied with the K-th are all listed\n"
         "  --exclude=FILE        the best designs that are not in FILE (two bracket forms a\n"
         "                        line, a search's report as it is, or a CSV table with\n"
         "                        columns skin and stiffener, as kelm_sample writes)\n"
         "Sizing (the total arguments left out; {plies}, or {skin} and {stiffener}, in file\n"
         "names stand for the total tried):\n"
         "  --plies=A:B           with --skin-only: the fewest plies from A to B whose best\n"
         "                        design meets every --require=; 'lightest: N plies'\n"
         "  --plies=A:B/C:D       a panel: the lightest pair of skin and stiffener totals\n"
         "  --weights=S,T         what a skin ply and a stiffener ply weigh (default 1,1)\n";
}

std::string evalUsage() {
  return "usage: kelm_eval RSFILE SKIN_TOTAL STIFFENER_TOTAL SKIN STIFFENER [OPTIONS]\n"
         "       kelm_eval --designs=FILE RSFILE SKIN_TOTAL STIFFENER_TOTAL [OPTIONS]\n"
         "       kelm_eval --skin-only RSFILE SKIN_TOTAL SKIN [OPTIONS]   (one laminate)\n"
         "       kelm_eval --check RSFILE   (where the searches refuse it, and its facts)\n"
         "       kelm_eval --structure STRUCTURE.json DESIGN.json   (a blended design: every\n"
         "                 rule and requirement, and which fails where; see kelm_blend)\n"
         "Checks one design: SKIN and STIFFENER are half laminates as the searches print them,\n"
         "e.g. '[45/45/0/90]s'. OPTIONS: b balance rule (default), n none, f 4-ply rule.\n"
         "  --help, -h  this text          --version  the version\n"
         "  --designs=FILE  every design of FILE (- for standard input): two bracket forms a\n"
         "                  line, or a search's report as it is\n"
         "  --svg=FILE      a picture of each design    --json=FILE  the results as JSON\n"
         "  --min-share=P, --max-run=N, --no-cross-ply-jump, --outer-45: judge the design\n"
         "  guidelines as well (see kelm_alt --help).\n"
         "  --min-of=FILE, --require=FILE:LIMIT: each surface's value, the one that governs\n"
         "  and whether each requirement holds.\n";
}

std::string sampleUsage() {
  return "usage: kelm_sample SKIN_TOTAL STIFFENER_TOTAL COUNT [-bnf] [OPTIONS]\n"
         "       kelm_sample --skin-only SKIN_TOTAL COUNT [-bnf] [OPTIONS]   (one laminate)\n"
         "A sampling plan: COUNT buildable designs (both laminates keep the rules) spread so\n"
         "that the 45-term quadratic in the lamination parameters is well determined (a\n"
         "D-optimal choice from a pool of random allowed designs and block designs), as CSV\n"
         "with the stacks, x1..x8 and an empty response column to fill with analyses.\n"
         "Letters: b balance rule (default), n none, f 4-ply rule.\n"
         "  --help, -h  this text          --version  the version\n"
         "  --out=FILE  the plan to FILE (else standard output; the summary then goes to\n"
         "              standard error)    --svg=FILE  the plan on the parameter diagrams\n"
         "  --seed=N    the random draws (default: the clock)\n"
         "  --pool=N    random designs to choose from (default 2000)\n"
         "  --ply-numbers=S0,S45,S90[:T0,T45,T90]  fixed ply numbers of the designed halves\n"
         "  --skin-only  one laminate alone (a plate, or a skin): the 15-term quadratic in\n"
         "              x1, x2, x5, x6; the CSV has the skin's columns and those four only\n"
         "  --min-share=P, --max-run=N, --no-cross-ply-jump, --outer-45: the design\n"
         "  guidelines, as the searches take them.\n";
}

std::string fitUsage() {
  return "usage: kelm_fit CSV --response=COLUMN --out=FILE.rs [OPTIONS]\n"
         "       kelm_fit --target=t1,...,t8 [--weights=w1,...,w8] --out=FILE.rs\n"
         "       kelm_fit --skin-only CSV --response=COLUMN --out=FILE.rs [OPTIONS]\n"
         "       kelm_fit --skin-only --target=t1,t2,t5,t6 [--weights=w1,w2,w5,w6] --out=FILE.rs\n"
         "Fits the full quadratic in x1..x8 to the samples of CSV (columns x1..x8, or skin,\n"
         "stiffener, skin_plies and stiffener_plies) by least squares and writes it as a\n"
         "response-surface file the searches read, with R^2, RMS and largest residual,\n"
         "leave-one-out (PRESS) RMS and condition number. Or writes the surface\n"
         "-sum w_i (x_i - t_i)^2 of a lamination-parameter target.\n"
         "  --help, -h  this text          --version  the version\n"
         "  --response=COLUMN  the analysed values (repeat for several; then --out= and\n"
         "              --svg= name the files with {} for the column)\n"
         "  --weight=COLUMN  weights of the samples   --cap=VALUE  fit min(response, VALUE)\n"
         "  --svg=FILE  predicted against analysed values\n"
         "  --skin-only  one laminate alone: the 15 terms in x1, x2, x5, x6 (columns x1, x2,\n"
         "              x5, x6, or skin and skin_plies; x3, x4, x7, x8 if present must be 0),\n"
         "              a file kelm_alt --skin-only reads; --target= then takes 4 numbers\n";
}

}  // namespace

const char* programName(Program program) {
  switch (program) {
    case Program::Iter: return "kelm_iter";
    case Program::Alt: return "kelm_alt";
    case Program::Eval: return "kelm_eval";
    case Program::Sample: return "kelm_sample";
    case Program::Fit: return "kelm_fit";
  }
  return "kelm";
}

std::string usageText(Program program) {
  switch (program) {
    case Program::Iter: return iterUsage();
    case Program::Alt: return altUsage();
    case Program::Eval: return evalUsage();
    case Program::Sample: return sampleUsage();
    case Program::Fit: return fitUsage();
  }
  return "";
}

std::string versionLine(Program program) {
  return std::string(programName(program)) + " (kelm) " + KELM_VERSION + "\n";
}

}  // namespace kelm
