#include "cli/single_laminate.h"

#include <sstream>

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
  RunOptions options;
  const std::size_t first = args.size() - 2;
  if (first == 1) options.optionString = args[0];
  options.skinPlyTotal = toInt(args[first]);
  options.stiffenerPlyTotal = 0;
  options.rsFileName = args[first + 1];
  options.skinOnly = true;
  return options;
}

void refuseStiffenerTerms(const ResponseSurface& surface, const std::string& fileName) {
  const std::optional<std::int32_t> term = firstStiffenerTerm(surface);
  if (!term) return;
  std::ostringstream message;
  message << "error: " << fileName << ": a single laminate's surface reads only x1, x2, x5 and "
          << "x6, but the term " << std::hex << *term << " (" << termName(*term)
          << ") reads the stiffener";
  fatal(Stream::Err, message.str(), true);
}

}  // namespace kelm
