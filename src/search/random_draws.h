#pragma once

#include <algorithm>

namespace kelm {

// Draws of random laminates of `drawnPositions` positions in all before a random phase gives up:
// a million, or fewer for long laminates, so that no phase draws more than twenty million
// plies. Where the rules admit almost no random laminate (the 4-ply rule on a long one) the
// phase then ends within seconds instead of hours.
inline int randomDrawLimit(int drawnPositions) {
  constexpr int kDrawLimit = 1000000;
  constexpr int kDrawnPlyLimit = 20000000;
  return std::clamp(kDrawnPlyLimit / std::max(drawnPositions, 1), 1, kDrawLimit);
}

// Under design guidelines few random laminates pass, and the search finds the optimum without
// a random start as well: a phase gives up after at most ten thousand draws.
inline int randomDrawLimit(int drawnPositions, bool guidelines) {
  constexpr int kGuidelineDrawLimit = 10000;
  const int limit = randomDrawLimit(drawnPositions);
  return guidelines ? std::min(limit, kGuidelineDrawLimit) : limit;
}

}  // namespace kelm
