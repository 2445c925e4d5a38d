#include "numerics/vector.h"

#include <algorithm>

#include "base/fatal.h"

namespace kelm {

void Vector::readOutOfRange() { fatal(Stream::Out, " Warning! Out of range (Vector)", true); }
void Vector::writeOutOfRange() { fatal(Stream::Err, "Error in Vector", true); }

void Vector::allocate(int n) {
  size_ = n < 0 ? 0 : n;
  data_ = size_ <= kInline ? inline_ : new double[size_];
  std::fill(data_, data_ + size_, 0.0);
}

void Vector::release() {
  if (data_ != inline_) delete[] data_;
  data_ = inline_;
  size_ = 0;
}

Vector::Vector() { allocate(2); }
Vector::Vector(int n) { allocate(n); }
Vector::Vector(const Vector& other) {
  allocate(other.size_);
  std::copy(other.data_, other.data_ + size_, data_);
}
Vector::Vector(Vector&& other) noexcept : size_(other.size_) {
  if (other.data_ == other.inline_) {
    std::copy(other.inline_, other.inline_ + kInline, inline_);
  } else {
    data_ = other.data_;
    other.data_ = other.inline_;
    other.size_ = 0;
  }
}
Vector::~Vector() { release(); }

void Vector::sizeTo(int m) {
  if (size_ == m) return;
  release();
  allocate(m);
}

Vector& Vector::operator=(const Vector& other) {
  if (this == &other) return *this;
  sizeTo(other.size_);
  std::copy(other.data_, other.data_ + size_, data_);
  return *this;
}

Vector& Vector::operator=(Vector&& other) noexcept {
  if (this == &other) return *this;
  if (other.data_ == other.inline_) {
    release();
    size_ = other.size_;
    std::copy(other.inline_, other.inline_ + kInline, inline_);
  } else {
    release();
    size_ = other.size_;
    data_ = other.data_;
    other.data_ = other.inline_;
    other.size_ = 0;
  }
  return *this;
}

Vector Vector::operator+(const Vector& b) const {
  Vector result(size_);
  if (size_ != b.size_) fatal(Stream::Err, "error: vector size is different!", false);
  for (int i = 1; i <= size_; ++i) result.ref(i) = b(i) + (*this)(i);
  return result;
}

double Vector::dot(const Vector& b) const {
  if (size_ != b.size_) fatal(Stream::Err, "error: vector size is different!", false);
  double sum = 0.0;
  for (int i = 1; i <= size_; ++i) sum += b(i) * (*this)(i);
  return sum;
}

}  // namespace kelm
