#include "laminate/fixed_ply_numbers.h"

#include <algorithm>
#include <climits>

#include "base/fatal.h"

namespace kelm {

namespace {

// The 90 deg positions that the given numbers leave are counted in a wider type, so that
// extreme numbers cannot overflow, and kept within the int range, where comparing them with any
// count of plies comes out as with the exact value.
int pliesLeft(long long half, long long ply0, long long ply45) {
  return static_cast<int>(std::clamp<long long>(half - ply0 - ply45, INT_MIN, INT_MAX));
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

void fixPlyNumbers(LaminateRules& rules, int ply0, int ply45) {
  rules.ply0 = ply0;
  rules.ply45 = ply45;
  rules.ply90 = pliesLeft(rules.halfPlyCount, ply0, ply45);
  rules.plyMin = std::min({rules.ply0, rules.ply45, rules.ply90});
  rules.plyNumbersFixed = true;
  rules.balance = false;
}

bool fourPlyRuleAllows(int ply0, int ply45, int ply90) {
  const long long n0 = ply0, n45 = ply45, n90 = ply90;
  if (n0 + n45 + n90 <= 2) return true;
  return fitsEndingIn45(n0, n45, n90) || fitsEndingInShortRun(n0, n90, n45) ||
         fitsEndingInShortRun(n90, n0, n45);
}

// Fixed ply numbers that no half laminate can meet would leave the searches without a single
// feasible design, so they end the run before any search. A half of one position is left as
// given: the searches judge its single ply by the count of that ply's own orientation alone, so
// some orientation always gives a design (the round-robin start stiffener, which must meet the
// numbers exactly, ends the run with its own message instead).
void refuseUnreachablePlyNumbers(const LaminateRules& rules) {
  if (!rules.plyNumbersFixed || rules.halfPlyCount < 2) return;
  if (std::min({rules.ply0, rules.ply45, rules.ply90}) < 0)
    fatal(Stream::Err, "error: invalid fixed ply numbers", true);
  if (rules.fourPlyRule && !fourPlyRuleAllows(rules.ply0, rules.ply45, rules.ply90))
    fatal(Stream::Err, "error: fixed ply numbers break the 4-ply rule", true);
}

}  // namespace kelm
