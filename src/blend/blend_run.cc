#include "blend/blend_run.h"

#include "base/fatal.h"
#include "blend/shared_threads.h"

namespace kelm {

std::string startTotalsFault(const BlendedStructure& structure, const std::vector<int>& totals,
                             const std::string& name) {
  if (totals.size() != structure.panels.size())
    return name + " has " + std::to_string(totals.size()) + " totals; the structure has " +
           std::to_string(structure.panels.size()) + " panels";
  for (std::size_t p = 0; p < totals.size(); ++p)
    if (structure.panels[p].at(totals[p]) == nullptr)
      return name + ": " + std::to_string(totals[p]) + " plies is not an allowed total of panel " +
             structure.panels[p].name;
  return {};
}

LightestBlend runLightestBlend(const BlendedStructure& structure, const BlendRunSettings& settings,
                               const StopRequest* stop, const VectorProgress& progress) {
  if (settings.workers > 0)
    return findLightestBlendShared(structure, settings.workers, stop, progress, settings.start, settings.weightOnly);
  return findLightestBlend(structure, stop, progress, settings.start, settings.weightOnly);
}

BlendVerdict checkedVerdict(const BlendedStructure& structure, const LightestBlend& result, const std::string& who) {
  BlendVerdict verdict;
  if (!result.found) return verdict;
  verdict = checkBlendedDesign(structure, result.design);
  if (!verdict.holds())
    fatal(Stream::Err, who + ": internal error: the design found breaks " + verdict.breaks.front().rule + ": " +
                           verdict.breaks.front().where, true);
  return verdict;
}

}  // namespace kelm
