#pragma once

#include <algorithm>
#include <cstdint>

namespace kelm {

// The small linear congruential generator both programs draw random codes from; a fixed seed
// gives a fixed sequence of 15-bit draws.
class CRand {
 public:
  explicit CRand(std::uint32_t seed) : state_(seed) {}
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fffu);
  }

 private:
  std::uint32_t state_;
};

// Draws of random laminates of `drawnPositions` positions in all before a random phase gives up:
// a million, or fewer for long laminates, so that no phase draws more than twenty million
// plies. Where the rules admit almost no random laminate (the 4-ply rule on a long one) the
// phase then ends within seconds instead of hours.
inline int randomDrawLimit(int drawnPositions) {
  constexpr int kDrawLimit = 1000000;
  constexpr int kDrawnPlyLimit = 20000000;
  return std::clamp(kDrawnPlyLimit / std::max(drawnPositions, 1), 1, kDrawLimit);
}

}  // namespace kelm
