#include "cli/exclude_file.h"

#include <fstream>
#include <vector>

#include "base/fatal.h"
#include "eval/design_check.h"
#include "eval/designs_file.h"

namespace kelm {

namespace {

// The laminate parser speaks for kelm_eval; here the option and the file are named instead.
PanelDesign parsedDesign(const DesignText& text, const std::string& file, int skinPlyTotal,
                         int stiffenerPlyTotal) {
  const std::string at = " (line " + std::to_string(text.line) + ")";
  try {
    PanelDesign design;
    design.skin = parseHalfLaminate(text.skin, skinPlyTotal, ("skin" + at).c_str());
    design.stiffener =
        parseHalfLaminate(text.stiffener, stiffenerPlyTotal, ("stiffener" + at).c_str());
    return design;
  } catch (const Failure& failure) {
    std::string message = failure.message();
    const std::string evalPrefix = "kelm_eval: ";
    if (message.rfind(evalPrefix, 0) == 0) message.erase(0, evalPrefix.size());
    fatal(Stream::Err, "error: --exclude=" + file + ": " + message, true);
  }
}

}  // namespace

ExcludedDesigns readExcludeFile(const std::string& file, int skinPlyTotal, int stiffenerPlyTotal) {
  std::ifstream in(file);
  if (!in) fatal(Stream::Err, "error: --exclude=" + file + ": cannot open the file", true, FailureKind::File);
  ExcludedDesigns excluded;
  for (const DesignText& text : readDesignTexts(in))
    excluded.add(parsedDesign(text, file, skinPlyTotal, stiffenerPlyTotal));
  return excluded;
}

}  // namespace kelm
