#pragma once

#include <vector>

#include "laminate/stacking_sequence.h"

namespace kelm {

// Design rules of one laminate (panel skin or stiffener), filled by the entry and only read
// afterwards. Ply numbers count half-laminate positions of codes 0, 1 and 2.
struct LaminateRules {
  int plyTotal = 0;      // plies of the whole laminate
  int halfPlyCount = 0;  // positions of the designed half
  int ply0 = 0;          // fixed number of 0 deg positions
  int ply45 = 0;         // fixed number of +-45 deg positions
  int ply90 = 0;         // fixed number of 90 deg positions (what the other two leave)
  int plyMin = 0;        // the smallest of the three: no prefix that short can break them
  bool balance = true;   // as many +45 as -45 deg plies
  bool fourPlyRule = false;  // no more than four equal plies in a row
  bool excludeListed = false;  // reject the sequences in `excluded` (no program sets it)
  bool plyNumbersFixed = false;  // ply0, ply45 and ply90 are in force
  std::vector<StackingSequence> excluded;  // designs a caller rules out by name

  // Design guidelines beyond the specified rules, each off by default.
  double minSharePercent = 0.0;  // each orientation at least this share of all plies (0: off)
  int maxRun = 0;                // longest run of equal 0 or 90 deg positions (0: off)
  bool noCrossPlyJump = false;   // no 0 deg position next to a 90 deg one
  bool outer45 = false;          // the outermost position is +-45 deg

  bool guidelines() const {
    return minSharePercent > 0.0 || maxRun > 0 || noCrossPlyJump || outer45;
  }
  // The longest run of equal 0 or 90 deg positions the 4-ply rule and the run limit allow
  // together (0: none).
  int runLimit() const {
    const int fourPly = fourPlyRule ? 4 : 0;
    if (maxRun <= 0) return fourPly;
    return fourPly > 0 && fourPly < maxRun ? fourPly : maxRun;
  }
};

}  // namespace kelm
