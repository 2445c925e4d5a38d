#pragma once

#include <nlohmann/json.hpp>

#include "laminate/laminate_rules.h"
#include "laminate/stacking_sequence.h"

namespace kelm {

// The JSON documents keep their keys in the order written, for people who read them.
using json = nlohmann::ordered_json;

// One laminate as the documents give it: ply total, angles of the designed half (outer to
// inner), printed form, half ply counts, in-plane and bending lamination parameters.
json laminateJson(const StackingSequence& sequence, int plyTotal);

// One laminate's rules: the specified ones and the guidelines.
json rulesJson(const LaminateRules& rules);

}  // namespace kelm
