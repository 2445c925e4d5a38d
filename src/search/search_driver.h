#pragma once

namespace kelm {

// A search method: run it once with the two ply totals, then report what it found.
class SearchDriver {
 public:
  virtual ~SearchDriver() = default;
  virtual void run(int skinPlyTotal, int stiffenerPlyTotal) = 0;
  virtual void report() = 0;
};

}  // namespace kelm
