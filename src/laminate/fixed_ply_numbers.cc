#include "laminate/fixed_ply_numbers.h"

#include <algorithm>
#include <climits>

#include "base/fatal.h"
#include "laminate/ply_arrangement.h"

namespace kelm {

namespace {

// The 90 deg positions that the given numbers leave are counted in a wider type, so that
// extreme numbers cannot overflow, and kept within the int range, where comparing them with any
// count of plies comes out as with the exact value.
int pliesLeft(long long half, long long ply0, long long ply45) {
  return static_cast<int>(std::clamp<long long>(half - ply0 - ply45, INT_MIN, INT_MAX));
}

// Plies of each orientation in the whole laminate are twice its positions in the half, less one
// for the orientation of the mid-plane ply of an odd total. Some choice of that ply (-1: none)
// must give every orientation its share and leave an arrangement that ends in it.
bool guidelinesAllowNumbers(const LaminateRules& rules, const Arrangement& arrangement) {
  const long long n[3] = {rules.ply0, rules.ply45, rules.ply90};
  const double needed = rules.minSharePercent * rules.plyTotal / 100.0;
  const bool midPlane = rules.plyTotal % 2 != 0;
  for (int mid = midPlane ? 0 : -1; mid < (midPlane ? 3 : 0); ++mid) {
    if (mid >= 0 && n[mid] < 1) continue;
    bool shares = true;
    for (int code = 0; code < 3; ++code)
      shares = shares && 2.0 * n[code] - (code == mid ? 1 : 0) >= needed - 1e-9;
    if (shares && arrangementAllows(n[0], n[1], n[2], arrangement, mid)) return true;
  }
  return false;
}

}  // namespace

bool guidelinesAllowFixedNumbers(const LaminateRules& rules) {
  return guidelinesAllowNumbers(
      rules, Arrangement{rules.runLimit(), rules.noCrossPlyJump, rules.outer45});
}

void fixPlyNumbers(LaminateRules& rules, int ply0, int ply45) {
  rules.ply0 = ply0;
  rules.ply45 = ply45;
  rules.ply90 = pliesLeft(rules.halfPlyCount, ply0, ply45);
  rules.plyMin = std::min({rules.ply0, rules.ply45, rules.ply90});
  rules.plyNumbersFixed = true;
  rules.balance = false;
}

bool fourPlyRuleAllows(int ply0, int ply45, int ply90) {
  return arrangementAllows(ply0, ply45, ply90, Arrangement{4, false, false});
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
  if (rules.guidelines() && !guidelinesAllowFixedNumbers(rules))
    fatal(Stream::Err, "error: fixed ply numbers cannot be arranged under the chosen guidelines",
          true);
}

}  // namespace kelm
