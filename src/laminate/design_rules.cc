#include "laminate/design_rules.h"

#include <algorithm>
#include <optional>

#include "base/fatal.h"
#include "laminate/guideline_rules.h"

namespace kelm {

namespace {

int fixedNumberOf(int code, const LaminateRules& rules) {
  return code == kCode0 ? rules.ply0 : code == kCode45 ? rules.ply45 : rules.ply90;
}

int countCode(const StackingSequence& seq, int code, int last) {
  int n = 0;
  for (int i = 1; i <= last; ++i)
    if (seq.getCode(i) == code) ++n;
  return n;
}

// Only the newest ply's orientation can go over its number. While no more positions are set
// than the smallest fixed number, no orientation can be over yet, so the count is skipped.
bool plyNumbersPartial(const StackingSequence& seq, const LaminateRules& rules) {
  const int s = seq.setCount();
  if (s <= rules.plyMin || s < 1) return true;
  const int code = seq.getCode(s);
  return countCode(seq, code, s) <= fixedNumberOf(code, rules);
}

bool plyNumbersComplete(const StackingSequence& seq, const LaminateRules& rules) {
  const int h = seq.plyCount();
  return countCode(seq, kCode0, h) == rules.ply0 && countCode(seq, kCode45, h) == rules.ply45;
}

bool fourPlyComplete(const StackingSequence& seq) {
  if (seq.setCount() != seq.plyCount()) fatal(Stream::Err, "cannot evaluate 4-ply rule!", true);
  return !fourPlyBreak(seq).has_value();
}

// +-45 deg plies come in pairs outside the mid-plane.
bool balanceCount(const StackingSequence& seq) {
  const int m = seq.midPly() ? seq.plyCount() - 1 : seq.plyCount();
  return countCode(seq, kCode45, std::min(m, seq.setCount())) % 2 == 0;
}

// The mid-plane ply of an odd total cannot be +-45 deg and stay balanced.
bool midPlaneNot45(const StackingSequence& seq) {
  return !seq.midPly() || seq.getCode(seq.plyCount()) != kCode45;
}

bool notExcluded(const StackingSequence& seq, const LaminateRules& rules) {
  return std::none_of(rules.excluded.begin(), rules.excluded.end(),
                      [&](const StackingSequence& listed) { return seq == listed; });
}

bool balancePartial(const StackingSequence& seq) {
  const int s = seq.setCount();
  const int h = seq.plyCount();
  if (s == h) return seq.midPly() ? midPlaneNot45(seq) : balanceCount(seq);
  if (s == h - 1 && seq.midPly()) return balanceCount(seq);
  return true;
}

}  // namespace

std::optional<PlyRun> fourPlyBreak(const StackingSequence& seq) {
  return runLimitBreak(seq, kFourPlyLimit);
}

bool checkPartial(const StackingSequence& seq, const LaminateRules& rules) {
  const int s = seq.setCount();
  const int h = seq.plyCount();
  if (rules.plyNumbersFixed && !plyNumbersPartial(seq, rules)) return false;
  // A run can exceed four only from its fifth ply on; the innermost run (at most two) is
  // judged once the last position is set, and halves of one or two positions never.
  if (rules.fourPlyRule && !runLimitPartial(seq, kFourPlyLimit)) return false;
  if (rules.balance && !balancePartial(seq)) return false;
  if (rules.excludeListed && s == h && !notExcluded(seq, rules)) return false;
  return !rules.guidelines() || guidelinesPartial(seq, rules);
}

bool checkComplete(const StackingSequence& seq, const LaminateRules& rules) {
  if (seq.setCount() != seq.plyCount()) fatal(Stream::Err, "cannot evaluate constraint!", true);
  if (rules.plyNumbersFixed && !plyNumbersComplete(seq, rules)) return false;
  if (rules.fourPlyRule && seq.plyCount() > 2 && !fourPlyComplete(seq)) return false;
  if (rules.balance) {
    if (seq.midPly() && !midPlaneNot45(seq)) return false;
    if (!balanceCount(seq)) return false;
  }
  if (rules.excludeListed && !notExcluded(seq, rules)) return false;
  return !rules.guidelines() || guidelinesComplete(seq, rules);
}

}  // namespace kelm
