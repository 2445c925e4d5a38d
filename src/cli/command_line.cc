#include "cli/command_line.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/fatal.h"
#include "cli/prompts.h"

namespace kelm {

int toInt(const std::string& text) {
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Three forms: totals and file; option letters, totals and file; and for kelm_iter the option
// letters, totals, four fixed ply numbers and file. Any other count asks.
RunOptions gatherInputs(const std::vector<std::string>& args, Program program, std::istream& in,
                        std::ostream& out) {
  RunOptions options;
  const std::size_t count = args.size();
  if (count == 3) {
    options.skinPlyTotal = toInt(args[0]);
    options.stiffenerPlyTotal = toInt(args[1]);
    options.rsFileName = args[2];
  } else if (count == 4 || (count == 8 && program == Program::Iter)) {
    options.optionString = args[0];
    options.skinPlyTotal = toInt(args[1]);
    options.stiffenerPlyTotal = toInt(args[2]);
    if (count == 8) {
      options.plyNumbersGiven = true;
      for (int i = 0; i < 4; ++i) options.commandLinePlyNumbers[i] = toInt(args[3 + i]);
    }
    options.rsFileName = args[count - 1];
  } else {
    promptForInputs(options, in, out);
  }
  return options;
}

void appendRsSuffix(RunOptions& options) {
  if (options.rsFileName.find(".rs") == std::string::npos) options.rsFileName += ".rs";
}

void scanOptionString(RunOptions& options, std::string_view accepted) {
  for (const char letter : options.optionString) {
    if (accepted.find(letter) == std::string_view::npos)
      fatal(Stream::Err, "unknown option!", true);
    switch (letter) {
      case 'b': options.balance = true; break;
      case 'n': options.balance = false; break;
      case 'f': options.fourPlyRule = true; break;
      case 'p': options.setPlyNumbers = true; break;
      case 'r': options.roundRobin = true; break;
      default: break;  // '-'
    }
  }
}

}  // namespace kelm
