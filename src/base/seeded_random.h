#pragma once

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

}  // namespace kelm
