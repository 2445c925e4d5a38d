#pragma once

namespace kelm {

// The rules that restrict the order of a half laminate's positions, for deciding whether given
// numbers of 0, +-45 and 90 deg positions can be arranged at all.
struct Arrangement {
  int runLimit = 0;             // longest run of equal 0 or 90 deg positions (0: none)
  bool noCrossPlyJump = false;  // no 0 deg position next to a 90 deg one
  bool outer45 = false;         // the outermost position is +-45 deg
};

// Whether some half laminate with exactly these numbers of 0, +-45 and 90 deg positions (none
// negative) keeps the arrangement rules, with its innermost position of code `innermost`
// (0, 1 or 2; -1 for any). As the searches judge them, run limits apply to halves of three
// positions or more; their innermost run may hold half the limit, rounded down.
bool arrangementAllows(long long n0, long long n45, long long n90, const Arrangement& rules,
                       int innermost = -1);

}  // namespace kelm
