#pragma once

#include <vector>

#include "laminate/stacking_sequence.h"

namespace kelm {

// Design rules of one laminate (panel skin or stiffener), filled by the entry and only read
// afterwards. Ply numbers count half-laminate positions of codes 0, 1 and 2.
struct LaminateRules {
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
};

}  // namespace kelm
