// Fuzz target: the set-up of both programs up to the search. The first line of the input is the
// command line (arguments split at each blank; an empty line gives none), the rest is standard
// input for the prompts and the ply-number dialog. Every input is run as kelm_iter and as
// kelm_alt; a fatal message ends only that run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "cli/command_line.h"
#include "cli/extension_options.h"
#include "cli/run_setup.h"
#include "response/rs_file.h"

namespace {

// The only surface a run may load: any name the input gives is looked up in the scratch
// directory, so a name can never reach a device or a pipe that would block the fuzzer.
constexpr const char* kSurfaceName = "panel.rs";
constexpr const char* kSurfaceText =
    "# f = x1 + x5 - x4 - x8\n1 1.0\n10000 1.0\n1000 -1.0\n10000000 -1.0\n";

std::string insideScratch(std::string name) {
  std::replace(name.begin(), name.end(), '/', '%');
  return (kelm::fuzz::scratchDirectory() / name).string();
}

std::vector<std::string> commandLine(const std::string& line) {
  std::vector<std::string> args;
  if (line.empty()) return args;
  std::size_t start = 0;
  for (std::size_t blank; (blank = line.find(' ', start)) != std::string::npos; start = blank + 1)
    args.push_back(line.substr(start, blank - start));
  args.push_back(line.substr(start));
  return args;
}

void check(bool holds) {
  if (!holds) __builtin_trap();
}

// What every filled laminate record must satisfy, whatever the answers were.
void checkRules(const kelm::LaminateRules& rules, int total, bool setPlyNumbers) {
  check(rules.halfPlyCount >= 0 && total - rules.halfPlyCount >= rules.halfPlyCount - 1 &&
        total - rules.halfPlyCount <= rules.halfPlyCount);
  if (!rules.plyNumbersFixed) return;
  check(setPlyNumbers && !rules.balance);
  check(rules.plyMin == std::min({rules.ply0, rules.ply45, rules.ply90}));
}

// The entry's set-up in its order, with the surface loaded from the scratch directory.
void setUp(kelm::Program program, std::vector<std::string> args, std::istream& in) {
  const kelm::ExtensionOptions extensions = kelm::takeExtensionOptions(args, program);
  check(!extensions.timeLimit || *extensions.timeLimit > 0.0);
  for (const std::string& arg : args)
    check(arg != "--help" && arg != "--version" && arg.rfind("--seed=", 0) != 0);
  kelm::PreparedRun run;
  run.options = kelm::gatherInputs(args, program, in, std::cout);
  kelm::appendRsSuffix(run.options);
  kelm::scanOptionString(run.options);
  kelm::RsFile(insideScratch(run.options.rsFileName), run.model);
  kelm::fillRules(run.options, run.skinRules, run.stiffenerRules);
  kelm::settlePlyNumbers(run.options, run.skinRules, run.stiffenerRules, in);
  checkRules(run.skinRules, run.options.skinPlyTotal, run.options.setPlyNumbers);
  checkRules(run.stiffenerRules, run.options.stiffenerPlyTotal, run.options.setPlyNumbers);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kelm::fuzz::quietAndSurviveFatal();
  std::ofstream(insideScratch(kSurfaceName), std::ios::binary) << kSurfaceText;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = std::min(input.find('\n'), input.size());
  const std::vector<std::string> args = commandLine(input.substr(0, lineEnd));
  const std::string answers = lineEnd < input.size() ? input.substr(lineEnd + 1) : "";
  for (const kelm::Program program : {kelm::Program::Iter, kelm::Program::Alt}) {
    std::istringstream in(answers);
    try {
      setUp(program, args, in);
    } catch (const kelm::fuzz::FatalExit&) {
    }
  }
  return 0;
}
