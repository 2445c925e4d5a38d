#pragma once

#include <cstdint>
#include <vector>

#include "numerics/mathmx.h"
#include "numerics/vector.h"

namespace kelm {

// The quadratic objective in the eight lamination parameters, arranged in four groups of two:
// 1 skin in-plane, 2 skin bending, 3 stiffener in-plane, 4 stiffener bending. The file's
// variables x1..x8 sit at model positions 1, 2, 5, 6, 3, 4, 7, 8.
class ResponseSurface {
 public:
  ResponseSurface();

  void appendTerm(std::int32_t code, double coefficient);
  void build();

  // Read operations hand out copies.
  Vector linear() const { return linear_; }
  Mathmx quadratic() const { return quadratic_; }
  Vector linear1() const { return linear1_; }
  Vector linear2() const { return linear2_; }
  Vector linear3() const { return linear3_; }
  Vector linear4() const { return linear4_; }
  Mathmx block11() const { return block11_; }
  Mathmx block12() const { return block12_; }
  Mathmx block22() const { return block22_; }
  Mathmx block33() const { return block33_; }
  Mathmx block34() const { return block34_; }
  Mathmx block44() const { return block44_; }
  Mathmx block13() const { return block13_; }
  Mathmx block14() const { return block14_; }
  Mathmx block23() const { return block23_; }
  Mathmx block24() const { return block24_; }

  const std::vector<std::int32_t>& termCodes() const { return termCodes_; }
  const std::vector<double>& termValues() const { return termValues_; }

  double constant = 0.0;

 private:
  double lookUp(std::int32_t code) const;
  Mathmx blockOf(int k, int l) const;

  std::vector<std::int32_t> termCodes_;
  std::vector<double> termValues_;
  Vector linear_{8};
  Vector linear1_, linear2_, linear3_, linear4_;
  Mathmx quadratic_{8, 8};
  Mathmx block11_{2, 2}, block12_{2, 2}, block22_{2, 2}, block33_{2, 2}, block34_{2, 2},
      block44_{2, 2}, block13_{2, 2}, block14_{2, 2}, block23_{2, 2}, block24_{2, 2};
};

}  // namespace kelm
