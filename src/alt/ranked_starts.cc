#include "alt/ranked_starts.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace kelm {

namespace {

// A laminate's codes set again in order from an empty one: the tree's lamination parameters,
// to the bit, where the random start's carry the rounding of its rewrites.
StackingSequence builtPlyByPly(const StackingSequence& sequence) {
  StackingSequence built;
  built.setPlyTotal(static_cast<int>(sequence.halfPlies() * 2));
  for (int p = 1; p <= sequence.plyCount(); ++p) built.setTheta(p, sequence.codeAt(p));
  return built;
}

}  // namespace

RankedStarts::RankedStarts(int top, const PanelObjectives& objectives)
    : top_(top), objectives_(objectives) {
  ranked_.keepTop(top);
}

void RankedStarts::offer(const PanelDesign& design) {
  if (design.value < ranked_.best() - kTieTolerance || seen_.contains(design)) return;
  seen_.add(design);
  ranked_.enter(design, design.value);
}

std::optional<double> RankedStarts::floor() const {
  std::vector<double> values;
  for (const PanelDesign& design : ranked_.designs()) {
    PanelDesign exact;
    exact.skin = builtPlyByPly(design.skin);
    exact.stiffener = builtPlyByPly(design.stiffener);
    if (objectives_.hasExtras() && !objectives_.meetsRequirements(exact)) continue;
    values.push_back(objectives_.value(exact));
  }
  if (static_cast<int>(values.size()) < top_) return std::nullopt;
  std::nth_element(values.begin(), values.begin() + (top_ - 1), values.end(),
                   std::greater<double>());
  return values[top_ - 1];
}

}  // namespace kelm
