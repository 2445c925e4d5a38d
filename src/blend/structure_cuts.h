#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace kelm {

// The sides of the structure that one or two neighbour joints cut off: each a connected set of
// panels (in panel order) of between `smallest` and `largest` panels. Such a side is the part
// of a long structure (an arm of a horseshoe, the far end of a strip) where a blending conflict
// can span more panels than the small groups reach, yet that is searched far faster alone than
// the whole structure.
std::vector<std::vector<int>> sidesOfNarrowCuts(int panels, const std::vector<std::pair<int, int>>& adjacent,
                                                std::size_t smallest, std::size_t largest);

}  // namespace kelm
