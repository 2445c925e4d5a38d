#pragma once

namespace kelm {

// A 1-based vector of reals with guarded element access. Copies are deep. Up to three elements
// (lamination parameters, the bordered 3 x 3 systems of the bound) live inline, so the search's
// hot paths never touch the heap; longer vectors use a heap block.
class Vector {
 public:
  Vector();  // two elements, 0.0 and 0.0
  explicit Vector(int n);
  Vector(const Vector& other);
  Vector(Vector&& other) noexcept;
  Vector& operator=(const Vector& other);
  Vector& operator=(Vector&& other) noexcept;
  ~Vector();

  int size() const { return size_; }

  // Guarded read: an index outside 1..size ends the run.
  double operator()(int i) const {
    if (i < 1 || i > size_) readOutOfRange();
    return data_[i - 1];
  }
  // Guarded write access.
  double& ref(int i) {
    if (i < 1 || i > size_) writeOutOfRange();
    return data_[i - 1];
  }

  // Unchecked element storage, for loops whose bounds come from size().
  const double* data() const { return data_; }
  double* data() { return data_; }

  Vector operator+(const Vector& b) const;
  double dot(const Vector& b) const;

  // Gives the vector m elements: keeps the storage when the size is already m, otherwise
  // replaces it by a fresh block of m zeros.
  void sizeTo(int m);

 private:
  static constexpr int kInline = 3;
  [[noreturn]] static void readOutOfRange();
  [[noreturn]] static void writeOutOfRange();
  void allocate(int n);
  void release();

  int size_ = 0;
  double* data_ = inline_;
  double inline_[kInline] = {0.0, 0.0, 0.0};
};

}  // namespace kelm
