#include "laminate/guideline_rules.h"

#include <cmath>

namespace kelm {

namespace {

bool crossPly(int a, int b) {
  return (a == kCode0 && b == kCode90) || (a == kCode90 && b == kCode0);
}

// Whether the open positions can still bring every orientation to its share: each open
// position adds two plies of its orientation, the mid-plane ply of an odd total one.
bool shareReachable(const StackingSequence& seq, double percent) {
  const OrientationPlies plies = orientationPlies(seq);
  const int needed = pliesNeeded(seq, percent);
  const int open = seq.plyCount() - seq.setCount();
  const bool midPlaneOpen = seq.midPly() && open > 0;
  int positions = 0;
  bool oddShortfall = false;
  for (const int count : plies.count) {
    const int missing = std::max(0, needed - count);
    positions += (missing + 1) / 2;
    oddShortfall = oddShortfall || missing % 2 != 0;
  }
  if (!midPlaneOpen) return positions <= open;
  // The open mid-plane ply adds one ply only: it can cover an odd shortfall's last ply, and
  // otherwise adds nothing that is needed.
  return positions - (oddShortfall ? 1 : 0) <= open - 1;
}

bool jumpAtNewest(const StackingSequence& seq) {
  const int s = seq.setCount();
  return s >= 2 && crossPly(seq.codeAt(s - 1), seq.codeAt(s));
}

}  // namespace

int pliesNeeded(const StackingSequence& seq, double percent) {
  return static_cast<int>(std::ceil(percent * (seq.halfPlies() * 2) / 100.0 - 1e-9));
}

OrientationPlies orientationPlies(const StackingSequence& seq) {
  OrientationPlies plies;
  const int s = seq.setCount();
  for (int position = 1; position <= s; ++position) {
    const bool midPlane = seq.midPly() && position == seq.plyCount();
    const int code = seq.codeAt(position);
    if (code < 3) plies.count[code] += midPlane ? 1 : 2;
  }
  return plies;
}

bool guidelinesPartial(const StackingSequence& seq, const LaminateRules& rules) {
  const int s = seq.setCount();
  if (s < 1) return rules.minSharePercent <= 0.0 || shareReachable(seq, rules.minSharePercent);
  if (rules.outer45 && seq.codeAt(1) != kCode45) return false;
  if (rules.noCrossPlyJump && jumpAtNewest(seq)) return false;
  if (rules.maxRun > 0 && !runLimitPartial(seq, rules.maxRun)) return false;
  if (rules.minSharePercent > 0.0 && !shareReachable(seq, rules.minSharePercent)) return false;
  return true;
}

bool guidelinesComplete(const StackingSequence& seq, const LaminateRules& rules) {
  if (rules.outer45 && seq.plyCount() >= 1 && seq.codeAt(1) != kCode45) return false;
  if (rules.noCrossPlyJump && crossPlyJumpAt(seq)) return false;
  if (rules.maxRun > 0 && seq.plyCount() > 2 && runLimitBreak(seq, rules.maxRun)) return false;
  if (rules.minSharePercent > 0.0 && orientationBelowShare(seq, rules.minSharePercent))
    return false;
  return true;
}

std::optional<int> orientationBelowShare(const StackingSequence& seq, double percent) {
  const OrientationPlies plies = orientationPlies(seq);
  const int needed = pliesNeeded(seq, percent);
  for (int code = 0; code < 3; ++code)
    if (plies.count[code] < needed) return code;
  return std::nullopt;
}

std::optional<int> crossPlyJumpAt(const StackingSequence& seq) {
  for (int position = 1; position < seq.setCount(); ++position)
    if (crossPly(seq.codeAt(position), seq.codeAt(position + 1))) return position;
  return std::nullopt;
}

}  // namespace kelm
