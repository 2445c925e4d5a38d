#pragma once

namespace kelm {

// kelm_fit CSV --response=COLUMN --out=FILE.rs [options]: a least-squares fit of the full
// quadratic per response, written as response-surface files with their diagnostics; or
// kelm_fit --target=t1,...,t8 [--weights=...] --out=FILE.rs: the surface of a
// lamination-parameter target. Returns the exit status.
int runFitProgram(int argc, char** argv);

}  // namespace kelm
