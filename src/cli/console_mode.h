#pragma once

namespace kelm {

// Standard output and error end their lines with a line feed alone on every platform, so that
// the programs' output is the same bytes everywhere and scripts compare it as it is. (Windows
// would otherwise write a carriage return before each line feed.)
void useLineFeedLineEnds();

}  // namespace kelm
