#include "laminate/stacking_sequence.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <memory>
#include <vector>

#include "base/fatal.h"

namespace kelm {

namespace {

constexpr double kRadiansToDegrees = 57.29577951308232;

// Weights of every position for one ply total, computed once. An ordinary ply k spans
// z = H-k .. H-k+1 of the half thickness H; the mid-plane ply of an odd total spans 0 .. 0.5.
// The expressions keep their literal form so that cached and fresh values agree to the bit.
std::unique_ptr<PlyWeight[]> computeWeights(int total) {
  const int count = halfPositions(total);
  const bool midPly = total % 2 != 0;
  const double h = total * 0.5;
  auto weights = std::make_unique<PlyWeight[]>(count);
  for (int k = 1; k <= count; ++k) {
    if (midPly && k == count) {
      weights[k - 1] = {1.0 / (2.0 * h), 1.0 / (8.0 * std::pow(h, 3.0))};
    } else {
      const double inPlane = (h - k + 1) * (1.0 / h) - (h - k) * (1.0 / h);
      const double bending = std::pow((h - k + 1) / h, 3.0) - std::pow((h - k) / h, 3.0);
      weights[k - 1] = {inPlane, bending};
    }
  }
  return weights;
}

// Weight tables by ply total, filled on first use and kept for the life of the process; a
// sequence finds its table by its total. Searches in several threads fill them at once: a
// table is published whole, and of two computed together (equal to the bit) one is kept.
std::atomic<const PlyWeight*>& weightTable(int total) {
  static std::atomic<const PlyWeight*> tables[StackingSequence::kMaxPlyTotal + 1];
  return tables[total];
}

const PlyWeight* weightsFor(int total) {
  std::atomic<const PlyWeight*>& slot = weightTable(total);
  const PlyWeight* table = slot.load(std::memory_order_acquire);
  if (table != nullptr) return table;
  std::unique_ptr<PlyWeight[]> fresh = computeWeights(total);
  if (slot.compare_exchange_strong(table, fresh.get(), std::memory_order_acq_rel))
    return fresh.release();
  return table;
}

}  // namespace

void StackingSequence::releaseHeapCodes() { delete[] heapWords_; }

void StackingSequence::copyHeapCodesFrom(const StackingSequence& other) {
  heapWords_ = new std::uint64_t[wordCount()];
  std::memcpy(heapWords_, other.heapWords_, sizeof(std::uint64_t) * wordCount());
}

void StackingSequence::setPlyTotal(int total) {
  if (total < 0 || total > kMaxPlyTotal) fatal(Stream::Err, "error: invalid ply number", true);
  releaseCodes();
  total_ = total;
  plyCount_ = static_cast<std::uint16_t>(halfPositions(total));
  setCount_ = 0;
  std::memset(lp_, 0, sizeof lp_);
  if (onHeap()) {
    heapWords_ = new std::uint64_t[wordCount()];
    std::memset(heapWords_, 0, sizeof(std::uint64_t) * wordCount());
  }
  if (plyCount_ > 0) weightsFor(total);  // prepared before the first ply is added
}

void StackingSequence::storeCode(int position, int code) {
  const int i = position - 1;
  std::uint64_t& word = words()[i >> 5];
  const int shift = (i & 31) * 2;
  word = (word & ~(std::uint64_t{3} << shift)) | (std::uint64_t(code) << shift);
}

// Adds one ply's terms: in-plane first, then bending.
void StackingSequence::addPly(int position, double cos2, double cos4) {
  const PlyWeight& w = weightTable(total_).load(std::memory_order_acquire)[position - 1];
  lp_[0] += w.inPlane * cos2;
  lp_[1] += w.inPlane * cos4;
  lp_[2] += w.bending * cos2;
  lp_[3] += w.bending * cos4;
}

void StackingSequence::setTheta(int position, int code) {
  if (position < 1 || position > plyCount_) fatal(Stream::Err, "error1: @setTheta", false);
  if (position != setCount_ + 1) fatal(Stream::Err, "error2: @setTheta", false);
  const double cos2 = cos2Of(code);
  const double cos4 = cos4Of(code);
  storeCode(position, code);
  ++setCount_;
  addPly(position, cos2, cos4);
}

// The same products and sums as setTheta's (addPly), position by position from zero; the
// tables are looked up once instead of per ply.
void StackingSequence::restore(const PackedCodes& codes, int setCount) {
  inlineWords_[0] = codes.words[0];
  inlineWords_[1] = codes.words[1];
  setCount_ = static_cast<std::uint16_t>(setCount);
  const CodeCosines& cosines = codeCosines();
  const PlyWeight* weights = weightTable(total_).load(std::memory_order_acquire);
  double lp[4] = {0.0, 0.0, 0.0, 0.0};
  for (int position = 1; position <= setCount; ++position) {
    const int code = codeAt(position);
    const PlyWeight& w = weights[position - 1];
    lp[0] += w.inPlane * cosines.cos2[code];
    lp[1] += w.inPlane * cosines.cos4[code];
    lp[2] += w.bending * cosines.cos2[code];
    lp[3] += w.bending * cosines.cos4[code];
  }
  std::memcpy(lp_, lp, sizeof lp_);
}

void StackingSequence::fillZero() {
  for (int position = 1; position <= plyCount_; ++position) setTheta(position, kCode0);
}

void StackingSequence::resetTheta(int position, int code) {
  if (position < 1 || position > plyCount_) fatal(Stream::Err, "error1: @resetTheta", false);
  const int old = codeAt(position);
  const double cos2 = cos2Of(code);
  const double cos4 = cos4Of(code);
  storeCode(position, code);
  addPly(position, cos2 - cos2Of(old), cos4 - cos4Of(old));
}

int StackingSequence::getCode(int position) const {
  if (position < 1 || position > setCount_) warn(Stream::Err, "error: @getCode");
  if (position < 1 || position > plyCount_) return 0;
  return codeAt(position);
}

double StackingSequence::getTheta(int position) const {
  if (position < 1 || position > plyCount_) {
    warn(Stream::Err, "error: @getTheta");
    return 0.0;
  }
  return decode(codeAt(position));
}

// Two sequences without a position are never equal: an empty laminate is no design, and the
// iterative method's history must not treat two of them as one seen design.
bool StackingSequence::operator==(const StackingSequence& other) const {
  if (plyCount_ != other.plyCount_ || midPly() != other.midPly() || plyCount_ < 1) return false;
  for (int position = 1; position <= plyCount_; ++position)
    if (codeAt(position) != other.getCode(position)) return false;
  return true;
}

std::uint64_t StackingSequence::hash() const {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t h = static_cast<std::uint64_t>(total_) * kMultiplier;
  const std::uint64_t* w = words();
  for (int i = 0; i < wordCount(); ++i) h = (h ^ w[i]) * kMultiplier ^ (h >> 29);
  return h;
}

Vector StackingSequence::inPlaneLP() const {
  Vector v;
  v.ref(1) = lp_[0];
  v.ref(2) = lp_[1];
  return v;
}

Vector StackingSequence::bendingLP() const {
  Vector v;
  v.ref(1) = lp_[2];
  v.ref(2) = lp_[3];
  return v;
}

std::string StackingSequence::bracketText() const {
  std::string text = "[";
  for (int position = 1; position <= plyCount_; ++position) {
    if (position > 1) text += '/';
    if (position <= setCount_)
      text += std::to_string(static_cast<int>(decode(codeAt(position)) * kRadiansToDegrees));
    else
      text += '*';
  }
  return text + "]s";
}

// For an odd total a marker line comes first, ending under the mid-plane ply's angle: "__"
// when that ply is set and not 0 deg, "_" otherwise.
void StackingSequence::printSequence() const { printSequence(std::cout); }

void StackingSequence::printSequence(std::ostream& out) const {
  const std::string text = bracketText();
  if (midPly()) {
    const bool marked = complete() && plyCount_ >= 1 && codeAt(plyCount_) != kCode0;
    out << std::setw(static_cast<int>(text.size()) - 2) << (marked ? "__" : "_") << '\n';
  }
  out << text;
}

}  // namespace kelm
