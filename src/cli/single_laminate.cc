#include "cli/single_laminate.h"

#include "base/fatal.h"
#include "cli/command_line.h"
#include "response/laminate_terms.h"

namespace kelm {

RunOptions singleLaminateInputs(const std::vector<std::string>& args) {
  if (args.size() != 2 && args.size() != 3)
    fatal(Stream::Err,
          "error: --skin-only takes the ply total and the surface file (SKIN FILE), the option "
          "letters before them if any",
          true);
  // "24 32 FILE" is a panel's two totals, not option letters and one total.
  if (args.size() == 3 && !args[0].empty() && args[0].find_first_not_of("0123456789") == std::string::npos)
    fatal(Stream::Err,
          "error: --skin-only designs one laminate and takes one ply total (SKIN FILE); for a skin "
          "and a stiffener leave --skin-only out",
          true);
  RunOptions options;
  const std::size_t first = args.size() - 2;
  if (first == 1) options.optionString = args[0];
  options.skinPlyTotal = toInt(args[first]);
  options.stiffenerPlyTotal = 0;
  options.rsFileName = args[first + 1];
  options.skinOnly = true;
  return options;
}

}  // namespace kelm
