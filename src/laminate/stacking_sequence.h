#pragma once

#include <cstdint>
#include <iosfwd>
#include <cstring>
#include <new>
#include <string>

#include "laminate/angle_code.h"
#include "numerics/vector.h"

namespace kelm {

// Positions of the designed half of a symmetric laminate of `plyTotal` plies (0 or more): half
// the plies, and the mid-plane ply of an odd total as a position of its own.
inline int halfPositions(int plyTotal) { return plyTotal - plyTotal / 2; }

// Lamination-parameter weights of one ply position (in-plane and bending), fixed by the ply
// total.
struct PlyWeight {
  double inPlane;
  double bending;
};

// The designed outer half of a symmetric laminate, built ply by ply from the outer surface
// inward, with its in-plane and bending lamination parameters kept up to date. A value: copies
// are deep. Codes are packed two bits each, inline for up to 64 positions (a 128-ply laminate),
// on the heap beyond. The whole value takes 56 bytes, so that the millions of open designs of
// a search stay compact.
class StackingSequence {
 public:
  static constexpr int kMaxPlyTotal = 2 * 65535 - 1;  // its 65535 positions fit the counts

  StackingSequence() = default;
  StackingSequence(const StackingSequence& other);
  StackingSequence(StackingSequence&& other) noexcept;
  StackingSequence& operator=(const StackingSequence& other);
  StackingSequence& operator=(StackingSequence&& other) noexcept;
  ~StackingSequence();

  void setPlyTotal(int total);
  void setTheta(int position, int code);
  void fillZero();  // every position 0 deg, in order
  void resetTheta(int position, int code);
  int getCode(int position) const;
  double getTheta(int position) const;
  bool operator==(const StackingSequence& other) const;
  bool operator!=(const StackingSequence& other) const { return !(*this == other); }
  // Equal sequences hash alike (the codes and the ply total), so that sets of designs can be
  // looked up instead of scanned.
  std::uint64_t hash() const;

  void printSequence() const;  // on standard output, no line end
  void printSequence(std::ostream& out) const;
  std::string bracketText() const;

  int plyCount() const { return plyCount_; }
  int setCount() const { return setCount_; }
  double halfPlies() const { return total_ * 0.5; }
  bool midPly() const { return total_ % 2 != 0; }
  bool complete() const { return setCount_ == plyCount_; }
  Vector inPlaneLP() const;
  Vector bendingLP() const;
  // Lamination parameters without a copy: [0] in-plane cos 2, [1] in-plane cos 4,
  // [2] bending cos 2, [3] bending cos 4.
  const double* parameters() const { return lp_; }

  // Laminates of up to kPackablePositions positions keep their codes in two words, which a
  // compact store may hold instead of the whole sequence. restore() rebuilds the sequence from
  // them, keeping its ply total: the first `setCount` positions set in order from an empty
  // laminate, exactly as setTheta set them, so the lamination parameters come out the same to
  // the bit.
  static constexpr int kPackablePositions = 64;
  struct PackedCodes {
    std::uint64_t words[2];
  };
  PackedCodes packedCodes() const { return {{inlineWords_[0], inlineWords_[1]}}; }
  void restore(const PackedCodes& codes, int setCount);

  // Code of a position within 1..plyCount, without the range message (callers check).
  int codeAt(int position) const {
    const int i = position - 1;
    return static_cast<int>((words()[i >> 5] >> ((i & 31) * 2)) & 3u);
  }

 private:
  static constexpr int kInlinePositions = kPackablePositions;
  static constexpr int kInlineWords = kInlinePositions / 32;

  int wordCount() const { return (plyCount_ + 31) / 32; }
  bool onHeap() const { return plyCount_ > kInlinePositions; }
  const std::uint64_t* words() const { return onHeap() ? heapWords_ : inlineWords_; }
  std::uint64_t* words() { return onHeap() ? heapWords_ : inlineWords_; }
  void storeCode(int position, int code);
  void addPly(int position, double cos2, double cos4);
  void copyScalarsFrom(const StackingSequence& other);  // everything but the codes
  void copyCodesFrom(const StackingSequence& other);
  void releaseCodes();
  void copyHeapCodesFrom(const StackingSequence& other);  // codes beyond the inline capacity
  void releaseHeapCodes();

  double lp_[4] = {0.0, 0.0, 0.0, 0.0};
  union {
    std::uint64_t inlineWords_[kInlineWords] = {0, 0};
    std::uint64_t* heapWords_;
  };
  std::int32_t total_ = 0;
  // Totals are at most kMaxPlyTotal, so both counts fit in 16 bits.
  std::uint16_t plyCount_ = 0;
  std::uint16_t setCount_ = 0;
};

// Copies are frequent in the searches (every child is one): kept inline, with the rare
// heap-stored codes of very long laminates out of line.
inline void StackingSequence::copyScalarsFrom(const StackingSequence& other) {
  plyCount_ = other.plyCount_;
  setCount_ = other.setCount_;
  total_ = other.total_;
  std::memcpy(lp_, other.lp_, sizeof lp_);
}

inline StackingSequence::StackingSequence(const StackingSequence& other) {
  copyScalarsFrom(other);
  copyCodesFrom(other);
}

inline StackingSequence::StackingSequence(StackingSequence&& other) noexcept {
  copyScalarsFrom(other);
  if (onHeap()) {
    heapWords_ = other.heapWords_;
    other.plyCount_ = 0;
    other.inlineWords_[0] = other.inlineWords_[1] = 0;
  } else {
    inlineWords_[0] = other.inlineWords_[0];
    inlineWords_[1] = other.inlineWords_[1];
  }
}

inline StackingSequence& StackingSequence::operator=(const StackingSequence& other) {
  if (this == &other) return *this;
  if (onHeap() && other.plyCount_ == plyCount_) {
    std::memcpy(heapWords_, other.heapWords_, sizeof(std::uint64_t) * wordCount());
  } else {
    releaseCodes();
    plyCount_ = other.plyCount_;
    copyCodesFrom(other);
  }
  copyScalarsFrom(other);
  return *this;
}

inline StackingSequence& StackingSequence::operator=(StackingSequence&& other) noexcept {
  if (this == &other) return *this;
  releaseCodes();
  new (this) StackingSequence(std::move(other));
  return *this;
}

inline StackingSequence::~StackingSequence() { releaseCodes(); }

inline void StackingSequence::releaseCodes() {
  if (onHeap()) releaseHeapCodes();
  plyCount_ = 0;
  inlineWords_[0] = inlineWords_[1] = 0;
}

// Expects plyCount_ already equal to other's.
inline void StackingSequence::copyCodesFrom(const StackingSequence& other) {
  if (onHeap()) {
    copyHeapCodesFrom(other);
  } else {
    inlineWords_[0] = other.inlineWords_[0];
    inlineWords_[1] = other.inlineWords_[1];
  }
}

}  // namespace kelm
