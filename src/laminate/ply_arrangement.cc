#include "laminate/ply_arrangement.h"

#include <algorithm>

namespace kelm {

namespace {

constexpr long long kNone = -1;

// A half laminate is a sequence of runs: maximal blocks of +-45 deg positions (any length) and
// runs of 0 or 90 deg positions (at most `limit` each, the innermost at most `inner`). With
// limit 0 no run is limited.
struct Runs {
  long long limit;
  long long inner;

  // Fewest runs that n plies of one orientation split into (none for no ply); each orientation
  // splits into any number of runs from its fewest to one per ply.
  long long fewest(long long n) const {
    if (n <= 0) return 0;
    return limit == 0 ? 1 : (n + limit - 1) / limit;
  }
  // The same when one of the runs is the innermost one; kNone when it cannot be.
  long long fewestEndingShort(long long n) const {
    if (n < 1) return kNone;
    if (limit == 0) return 1;
    if (inner < 1) return kNone;
    return 1 + fewest(std::max(0LL, n - inner));
  }
};

// Without the cross-ply rule, the runs of 0 and 90 deg form a chain in which the two
// orientations may alternate freely; two neighbouring runs of the same orientation need a block
// of +-45 deg plies between them.

// The innermost ply is +-45 deg, so the chain before it may end with any run: with the run
// counts as close as their ranges allow, |r0 - r90| - 1 blocks separate the surplus runs.
bool chainEndingIn45(long long n0, long long n45, long long n90, const Runs& runs) {
  if (n45 < 1) return false;
  const long long gap = std::max({0LL, runs.fewest(n0) - n90, runs.fewest(n90) - n0});
  return n45 - 1 >= std::max(0LL, gap - 1);
}

// The innermost run is of the orientation with `n` plies (the other has `m`). A chain that ends
// in its run needs no block when that orientation has as many runs as the other or one more;
// with d runs more it needs d - 1 blocks, with d runs fewer d blocks.
bool chainEndingInRun(long long n, long long m, long long n45, const Runs& runs) {
  const long long fewestEnding = runs.fewestEndingShort(n);
  if (fewestEnding == kNone) return false;
  const long long leastSurplus = fewestEnding - m;
  const long long mostSurplus = n - runs.fewest(m);
  long long blocks = 0;
  if (leastSurplus > 1) blocks = leastSurplus - 1;
  if (mostSurplus < 0) blocks = -mostSurplus;
  return blocks <= n45;
}

// With the cross-ply rule every two runs of 0 or 90 deg need a block between them: runs and
// blocks alternate. With R runs there are R - 1, R or R + 1 blocks, each of one ply or more.
bool alternatingEndingIn45(long long n0, long long n45, long long n90, const Runs& runs) {
  const long long most = n0 + n90;
  if (most == 0) return n45 >= 1;
  // R runs and R or R + 1 blocks (the outermost run or block first): R blocks suffice.
  return std::max(1LL, runs.fewest(n0) + runs.fewest(n90)) <= n45;
}

bool alternatingEndingInRun(long long n, long long m, long long n45, const Runs& runs) {
  const long long fewestEnding = runs.fewestEndingShort(n);
  if (fewestEnding == kNone) return false;
  const long long least = fewestEnding + runs.fewest(m);
  const long long most = n + m;
  if (n45 == 0) return least <= 1;  // one run and no block: the whole half is that run
  // R blocks (a block outermost) or R - 1 (a run outermost), between 1 and n45 of them.
  const bool blockFirst = std::max(least, 1LL) <= std::min(most, n45);
  const bool runFirst = std::max(least, 2LL) <= std::min(most, n45 + 1);
  return blockFirst || runFirst;
}

bool endsAs(long long n0, long long n45, long long n90, bool noJump, const Runs& runs,
            int innermost) {
  const auto in45 = noJump ? alternatingEndingIn45 : chainEndingIn45;
  const auto inRun = noJump ? alternatingEndingInRun : chainEndingInRun;
  switch (innermost) {
    case 0: return inRun(n0, n90, n45, runs);
    case 1: return in45(n0, n45, n90, runs);
    case 2: return inRun(n90, n0, n45, runs);
    default:
      return in45(n0, n45, n90, runs) || inRun(n0, n90, n45, runs) || inRun(n90, n0, n45, runs);
  }
}

}  // namespace

// A +-45 deg outermost position changes nothing for the positions inside it: the rest must be
// arranged under the other rules, and any such rest with that position put before it is one.
bool arrangementAllows(long long n0, long long n45, long long n90, const Arrangement& rules,
                       int innermost) {
  const long long h = n0 + n45 + n90;
  const bool judged = h >= 3;  // run limits apply to halves of three positions or more
  const long long limit = judged ? rules.runLimit : 0;
  const Runs runs{limit, limit / 2};
  if (rules.outer45) {
    if (n45 < 1) return false;
    if (h == 1) return innermost == -1 || innermost == 1;
    --n45;
  }
  if (limit == 0 && !rules.noCrossPlyJump) {
    const long long counts[3] = {n0, n45, n90};
    return innermost == -1 || counts[innermost] >= 1;
  }
  return endsAs(n0, n45, n90, rules.noCrossPlyJump, runs, innermost);
}

}  // namespace kelm
