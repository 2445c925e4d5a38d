#pragma once

#include <vector>

#include "laminate/stacking_sequence.h"

namespace kelm {

// Design rules of one laminate (panel skin or stiffener), filled by the entry and only read
// afterwards. Ply numbers count half-laminate positions of codes 0, 1 and 2.
struct LaminateRules {
  int halfPlyCount = 0;
  int ply0 = 0;
  int ply45 = 0;
  int ply90 = 0;
  int plyMin = 0;
  bool balance = true;
  bool fourPlyRule = false;
  bool excludeListed = false;
  bool plyNumbersFixed = false;
  std::vector<StackingSequence> excluded;
};

}  // namespace kelm
