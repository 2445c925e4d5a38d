#pragma once

#include <string>

namespace kelm {

// --plies=A:B (one laminate) or --plies=A:B/C:D (a panel: skin totals, then stiffener totals):
// the totals a sizing run tries, lightest first.
struct PlyRange {
  int skinFirst = 0;
  int skinLast = 0;
  int stiffenerFirst = 0;  // 0 and 0: one laminate
  int stiffenerLast = 0;

  bool panel() const { return stiffenerFirst > 0; }
};

// The option's value (after the '='); a malformed one ends the run with one message.
PlyRange plyRangeOf(const std::string& value);

// --weights=SKIN_PER_PLY,STIFFENER_PER_PLY: what one ply of each laminate weighs (both > 0).
struct PlyWeights {
  double skin = 1.0;
  double stiffener = 1.0;
};
PlyWeights plyWeightsOf(const std::string& value);

// A surface file's name for one total: "{plies}" (one laminate), "{skin}" and "{stiffener}"
// (a panel) replaced by the totals.
std::string withPlies(const std::string& name, int skinPlies, int stiffenerPlies);

}  // namespace kelm
