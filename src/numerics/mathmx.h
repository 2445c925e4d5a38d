#pragma once

#include "numerics/vector.h"

namespace kelm {

// A column-stored matrix of reals, 1-based, with guarded element access. Copies are deep.
// Matrices up to 3 x 3 (the Hessian blocks and the bordered candidate systems) are stored
// inline; larger ones (the full 8 x 8 Hessian) in one heap block.
class Mathmx {
 public:
  Mathmx();  // 2 x 2 zeros, the shape of every block of the surface
  Mathmx(int rows, int columns);
  Mathmx(const Mathmx& other);
  Mathmx(Mathmx&& other) noexcept;
  Mathmx& operator=(const Mathmx& other);
  Mathmx& operator=(Mathmx&& other) noexcept;
  ~Mathmx();

  int rowCount() const { return rows_; }
  int columnCount() const { return columns_; }

  double operator()(int i, int j) const {
    if (i < 1 || i > rows_ || j < 1 || j > columns_) readOutOfRange();
    return data_[(j - 1) * rows_ + (i - 1)];
  }
  double& ref(int i, int j) {
    if (i < 1 || i > rows_ || j < 1 || j > columns_) writeOutOfRange();
    return data_[(j - 1) * rows_ + (i - 1)];
  }

  // Unchecked column-stored elements, for loops whose bounds come from the shape.
  const double* data() const { return data_; }

  // Keeps the elements when the shape is unchanged; otherwise every element becomes 0.0.
  void resize(int rows, int columns);
  Mathmx transpose() const;
  Vector operator*(const Vector& v) const;

 private:
  static constexpr int kInline = 9;
  [[noreturn]] static void readOutOfRange();
  [[noreturn]] static void writeOutOfRange();
  void allocate(int rows, int columns);
  void release();

  int rows_ = 0;
  int columns_ = 0;
  double* data_ = inline_;
  double inline_[kInline] = {};
};

}  // namespace kelm
