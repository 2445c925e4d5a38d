#include "laminate/angle_code.h"

#include <cmath>

#include "base/fatal.h"

namespace kelm {

namespace {

constexpr double kAngles[4] = {0.0, 0.7853981633974483, 1.5707963267948966, -0.7853981633974483};

int checkedCode(int code) {
  if (code < 0 || code > 3) fatal(Stream::Err, "error @ decode", false);
  return code;
}

CodeCosines computeCosines() {
  CodeCosines table;
  for (int c = 0; c < 4; ++c) {
    table.cos2[c] = std::cos(2.0 * kAngles[c]);
    table.cos4[c] = std::cos(4.0 * kAngles[c]);
  }
  return table;
}

}  // namespace

const CodeCosines& codeCosines() {
  static const CodeCosines table = computeCosines();
  return table;
}

double decode(int code) { return kAngles[checkedCode(code)]; }
double cos2Of(int code) { return codeCosines().cos2[checkedCode(code)]; }
double cos4Of(int code) { return codeCosines().cos4[checkedCode(code)]; }

}  // namespace kelm
