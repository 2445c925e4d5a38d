#include "cli/json_values.h"

namespace kelm {

json laminateJson(const StackingSequence& sequence, int plyTotal) {
  json angles = json::array();
  int count[3] = {0, 0, 0};
  for (int position = 1; position <= sequence.plyCount(); ++position) {
    const int code = sequence.codeAt(position);
    angles.push_back(code == kCode0 ? 0 : code == kCode90 ? 90 : 45);
    if (code < 3) ++count[code];
  }
  const double* lp = sequence.parameters();
  return {{"plyTotal", plyTotal},
          {"angles", angles},
          {"printed", sequence.bracketText()},
          {"halfPlyCounts", {{"0", count[kCode0]}, {"45", count[kCode45]}, {"90", count[kCode90]}}},
          {"inPlane", {lp[0], lp[1]}},
          {"bending", {lp[2], lp[3]}}};
}

json rulesJson(const LaminateRules& rules) {
  json fixed = nullptr;
  if (rules.plyNumbersFixed) fixed = {{"0", rules.ply0}, {"45", rules.ply45}, {"90", rules.ply90}};
  return {{"balance", rules.balance},
          {"fourPlyRule", rules.fourPlyRule},
          {"fixedHalfPlyNumbers", fixed},
          {"minSharePercent", rules.minSharePercent},
          {"maxRun", rules.maxRun},
          {"noCrossPlyJump", rules.noCrossPlyJump},
          {"outer45", rules.outer45}};
}

}  // namespace kelm
