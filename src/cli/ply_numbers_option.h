#pragma once

#include <array>
#include <optional>
#include <string>

#include "laminate/laminate_rules.h"

namespace kelm {

// --ply-numbers=SKIN_0,SKIN_45,SKIN_90[:STIFFENER_0,STIFFENER_45,STIFFENER_90]: the positions of
// each orientation in the designed half of each laminate, as letter p's dialog asks for them,
// without reading standard input. Either part may be left empty (":4,2,2" fixes the stiffener
// alone, as the dialog's answer 1 does).
struct PlyNumbersOption {
  std::optional<std::array<int, 3>> skin;
  std::optional<std::array<int, 3>> stiffener;

  bool given() const { return skin || stiffener; }
};

// The option's value (after the '='); a malformed one ends the run with one message.
PlyNumbersOption plyNumbersOf(const std::string& value);

// Fixes the given laminates' numbers as the dialog does (the balance rule then off for them),
// after the dialog's checks: 0 deg positions within 0 to the half's positions, +-45 deg within
// what is left, and 90 deg taking exactly the rest; then refused, as the dialog's numbers are,
// when no half laminate can meet them under the rules.
void applyPlyNumbers(const PlyNumbersOption& option, LaminateRules& skin,
                     LaminateRules& stiffener);

}  // namespace kelm
