#pragma once

namespace kelm {

// Fiber-angle codes of a ply position. The searches use 0, 1 and 2 only; -45 deg is valid for
// decoding and printing. In (cos 2 theta, cos 4 theta) the codes map to V0 = (1, 1),
// V45 = (0, -1) and V90 = (-1, 1).
enum AngleCode : int { kCode0 = 0, kCode45 = 1, kCode90 = 2, kCodeMinus45 = 3 };
inline constexpr int kSearchedCodes = 3;  // the searches try codes 0, 1, 2; -45 deg pairs with 45

// The angle of a code in radians; any other code ends the run with "error @ decode".
double decode(int code);

// cos 2 theta and cos 4 theta of a valid code, computed once from the decoded angle.
double cos2Of(int code);
double cos4Of(int code);

// The same values for all four codes at once, indexed by code, for loops over many plies.
struct CodeCosines {
  double cos2[4];
  double cos4[4];
};
const CodeCosines& codeCosines();

}  // namespace kelm
