#include "response/response_surface.h"

namespace kelm {

namespace {
// Model position of file variable x1..x8: skin in-plane, skin bending, stiffener in-plane,
// stiffener bending.
constexpr int kModelPosition[9] = {0, 1, 2, 5, 6, 3, 4, 7, 8};

std::int32_t digitCode(int variable, std::int32_t digit) {
  return digit << (4 * (variable - 1));  // hexadecimal digit `variable` set to `digit`
}
}  // namespace

ResponseSurface::ResponseSurface() = default;

void ResponseSurface::appendTerm(std::int32_t code, double coefficient) {
  termCodes_.push_back(code);
  termValues_.push_back(coefficient);
}

// The first line of the file with a code counts; later duplicates are kept but never used.
double ResponseSurface::lookUp(std::int32_t code) const {
  for (std::size_t i = 0; i < termCodes_.size(); ++i)
    if (termCodes_[i] == code) return termValues_[i];
  return 0.0;
}

Mathmx ResponseSurface::blockOf(int k, int l) const {
  Mathmx block(2, 2);
  for (int a = 1; a <= 2; ++a)
    for (int b = 1; b <= 2; ++b) block.ref(a, b) = quadratic_(2 * (k - 1) + a, 2 * (l - 1) + b);
  return block;
}

void ResponseSurface::build() {
  constant = lookUp(0);
  for (int i = 1; i <= 8; ++i) linear_.ref(kModelPosition[i]) = lookUp(digitCode(i, 1));
  for (int a = 1; a <= 2; ++a) {
    linear1_.ref(a) = linear_(a);
    linear2_.ref(a) = linear_(a + 2);
    linear3_.ref(a) = linear_(a + 4);
    linear4_.ref(a) = linear_(a + 6);
  }
  for (int i = 1; i <= 8; ++i) {
    const double square = lookUp(digitCode(i, 2));
    quadratic_.ref(kModelPosition[i], kModelPosition[i]) = square + square;
    for (int j = i + 1; j <= 8; ++j) {
      const double product = lookUp(digitCode(i, 1) + digitCode(j, 1));
      quadratic_.ref(kModelPosition[i], kModelPosition[j]) = product;
      quadratic_.ref(kModelPosition[j], kModelPosition[i]) = product;
    }
  }
  block11_ = blockOf(1, 1);
  block12_ = blockOf(1, 2);
  block22_ = blockOf(2, 2);
  block33_ = blockOf(3, 3);
  block34_ = blockOf(3, 4);
  block44_ = blockOf(4, 4);
  block13_ = blockOf(1, 3);
  block14_ = blockOf(1, 4);
  block23_ = blockOf(2, 3);
  block24_ = blockOf(2, 4);
}

}  // namespace kelm
