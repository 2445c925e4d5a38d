#include "numerics/mathmx.h"

#include <algorithm>

#include "base/fatal.h"

namespace kelm {

void Mathmx::readOutOfRange() { fatal(Stream::Out, " Warning! Out of range (Mathmx)", false); }
void Mathmx::writeOutOfRange() { fatal(Stream::Out, " Error in Math Matrix bound", true); }

void Mathmx::allocate(int rows, int columns) {
  rows_ = rows < 0 ? 0 : rows;
  columns_ = columns < 0 ? 0 : columns;
  const int n = rows_ * columns_;
  data_ = n <= kInline ? inline_ : new double[n];
  std::fill(data_, data_ + n, 0.0);
}

void Mathmx::release() {
  if (data_ != inline_) delete[] data_;
  data_ = inline_;
  rows_ = columns_ = 0;
}

Mathmx::Mathmx() { allocate(2, 2); }
Mathmx::Mathmx(int rows, int columns) { allocate(rows, columns); }
Mathmx::Mathmx(const Mathmx& other) {
  allocate(other.rows_, other.columns_);
  std::copy(other.data_, other.data_ + rows_ * columns_, data_);
}
Mathmx::Mathmx(Mathmx&& other) noexcept : rows_(other.rows_), columns_(other.columns_) {
  if (other.data_ == other.inline_) {
    std::copy(other.inline_, other.inline_ + kInline, inline_);
  } else {
    data_ = other.data_;
    other.data_ = other.inline_;
    other.rows_ = other.columns_ = 0;
  }
}
Mathmx::~Mathmx() { release(); }

void Mathmx::resize(int rows, int columns) {
  if (rows == rows_ && columns == columns_) return;
  if (rows * columns == rows_ * columns_ && rows >= 0 && columns >= 0) {
    rows_ = rows;
    columns_ = columns;
    std::fill(data_, data_ + rows_ * columns_, 0.0);
    return;
  }
  release();
  allocate(rows, columns);
}

Mathmx& Mathmx::operator=(const Mathmx& other) {
  if (this == &other) return *this;
  resize(other.rows_, other.columns_);
  std::copy(other.data_, other.data_ + rows_ * columns_, data_);
  return *this;
}

Mathmx& Mathmx::operator=(Mathmx&& other) noexcept {
  if (this == &other) return *this;
  release();
  rows_ = other.rows_;
  columns_ = other.columns_;
  if (other.data_ == other.inline_) {
    std::copy(other.inline_, other.inline_ + kInline, inline_);
  } else {
    data_ = other.data_;
    other.data_ = other.inline_;
    other.rows_ = other.columns_ = 0;
  }
  return *this;
}

Mathmx Mathmx::transpose() const {
  Mathmx t(columns_, rows_);
  for (int j = 1; j <= columns_; ++j)
    for (int i = 1; i <= rows_; ++i) t.ref(j, i) = (*this)(i, j);
  return t;
}

Vector Mathmx::operator*(const Vector& v) const {
  Vector result(rows_);
  if (v.size() != columns_) fatal(Stream::Err, "error: matrix*vector : size is different!", false);
  // Each element sums its row from the first column on, starting from 0.0.
  const double* x = v.data();
  double* y = result.data();
  for (int i = 0; i < rows_; ++i) {
    double sum = 0.0;
    for (int j = 0; j < columns_; ++j) sum = sum + data_[j * rows_ + i] * x[j];
    y[i] = sum;
  }
  return result;
}

}  // namespace kelm
