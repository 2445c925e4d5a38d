#pragma once

namespace kelm {

// kelm_blend STRUCTURE.json [--json=FILE] [--time-limit=S] [--svg=FILE] ...: the certified
// lightest blended design of a structure, its table, weight and certificate.
int runBlendProgram(int argc, char** argv);

}  // namespace kelm
