#include "laminate/design_rules.h"

#include <algorithm>

#include "base/fatal.h"

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

// Length of the run of equal codes that ends at position `end`.
int runEndingAt(const StackingSequence& seq, int end) {
  const int code = seq.getCode(end);
  int length = 1;
  for (int i = end - 1; i >= 1 && seq.getCode(i) == code; --i) ++length;
  return length;
}

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

// The innermost run sits against the mirror image, so it doubles in the full laminate: it may
// hold at most two plies; every other run at most four. Runs of +-45 deg are free.
bool fourPlyPartial(const StackingSequence& seq) {
  const int s = seq.setCount();
  if (seq.getCode(s) == kCode45) return true;
  const int run = runEndingAt(seq, s);
  return s < seq.plyCount() ? run <= 4 : run <= 2;
}

bool fourPlyComplete(const StackingSequence& seq) {
  const int h = seq.plyCount();
  if (seq.setCount() != h) fatal(Stream::Err, "cannot evaluate 4-ply rule!", true);
  int end = h;
  const int innermost = runEndingAt(seq, end);
  if (innermost > 2 && seq.getCode(end) != kCode45) return false;
  end -= innermost;
  while (end >= 1) {
    const int run = runEndingAt(seq, end);
    if (run > 4 && seq.getCode(end) != kCode45) return false;
    end -= run;
  }
  return true;
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

// Fewest runs that n plies of one orientation split into when no run may exceed four plies
// (none for no ply), and when the innermost of them may not exceed two.
long long fewestRuns(long long n) { return (n + 3) / 4; }
long long fewestRunsEndingShort(long long n) { return 1 + fewestRuns(std::max(0LL, n - 2)); }

// The runs of 0 and 90 deg form a chain in which the two orientations may alternate freely;
// two neighbouring runs of the same orientation need a block of +-45 deg plies between them.
// Each orientation splits into any number of runs from its fewest to one per ply.

// The innermost ply is +-45 deg, so the chain before it may end with any run: with the run
// counts as close as their ranges allow, |r0 - r90| - 1 blocks separate the surplus runs.
bool fitsEndingIn45(long long n0, long long n45, long long n90) {
  if (n45 < 1) return false;
  const long long gap = std::max({0LL, fewestRuns(n0) - n90, fewestRuns(n90) - n0});
  return n45 - 1 >= std::max(0LL, gap - 1);
}

// The innermost run is one or two plies of the orientation with `n` plies (the other has `m`).
// A chain that ends in its run needs no block when that orientation has as many runs as the
// other or one more; with d runs more it needs d - 1 blocks, with d runs fewer d blocks.
bool fitsEndingInShortRun(long long n, long long m, long long n45) {
  if (n < 1) return false;
  const long long leastSurplus = fewestRunsEndingShort(n) - m;
  const long long mostSurplus = n - fewestRuns(m);
  long long blocks = 0;
  if (leastSurplus > 1) blocks = leastSurplus - 1;
  if (mostSurplus < 0) blocks = -mostSurplus;
  return blocks <= n45;
}

}  // namespace

bool fourPlyRuleAllows(int ply0, int ply45, int ply90) {
  const long long n0 = ply0, n45 = ply45, n90 = ply90;
  if (n0 + n45 + n90 <= 2) return true;
  return fitsEndingIn45(n0, n45, n90) || fitsEndingInShortRun(n0, n90, n45) ||
         fitsEndingInShortRun(n90, n0, n45);
}

bool checkPartial(const StackingSequence& seq, const LaminateRules& rules) {
  const int s = seq.setCount();
  const int h = seq.plyCount();
  if (rules.plyNumbersFixed && !plyNumbersPartial(seq, rules)) return false;
  if (rules.fourPlyRule && s >= 1) {
    const bool applies = s == h ? h >= 3 : s >= 5;
    if (applies && !fourPlyPartial(seq)) return false;
  }
  if (rules.balance && !balancePartial(seq)) return false;
  if (rules.excludeListed && s == h && !notExcluded(seq, rules)) return false;
  return true;
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
  return true;
}

}  // namespace kelm
