#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "search/record_chunks.h"

namespace kelm {

// A max-heap of records keyed by a real, with a parallel key array so that sifting compares
// plain reals. Records are stored once and never moved while the heap sifts: only the key and
// the record's slot number change places. Of two equal keys the one
// already higher in the heap stays there; of two equal children the left one rises.
//
// The capacity follows the growth the user sees (initial slots, times ten when a push finds
// the heap full, an optional hard limit with its message); storage itself grows with the
// records actually held, so a large initial capacity costs nothing until it is used. Records
// live in fixed-size chunks: growing the store never moves or copies the records already held,
// and never needs room for two copies of them at once.
//
// Policy: static double key(const Record&); static constexpr std::int64_t kLimit (0: none);
// static void atLimit() (ends the run).
template <typename Record, typename Policy>
class BestFirstHeap {
 public:
  explicit BestFirstHeap(std::int64_t initialCapacity) : capacity_(initialCapacity) {}

  int count() const { return static_cast<int>(keys_.size()); }

  // Empty again, with the capacity of a new heap of `initialCapacity`; the storage is kept for
  // reuse (a search that runs many short searches one after the other).
  void reset(std::int64_t initialCapacity) {
    capacity_ = initialCapacity;
    keys_.clear();
    slots_.clear();
    freeSlots_.clear();
    records_.clear();
  }
  std::int64_t capacity() const { return capacity_; }

  void push(const Record& record) { push(Record(record)); }
  void push(Record&& record) {
    if (static_cast<std::int64_t>(keys_.size()) + 1 > capacity_) grow();
    const double key = Policy::key(record);
    const std::int32_t slot = store(std::move(record));
    keys_.push_back(key);
    slots_.push_back(slot);
    siftUp(count(), key, slot);
  }

  Record pop() {
    const std::int32_t top = slots_[0];
    const int last = count();
    const double key = keys_[last - 1];
    const std::int32_t slot = slots_[last - 1];
    keys_.pop_back();
    slots_.pop_back();
    if (last > 1) siftDown(key, slot);
    Record record = std::move(recordAt(top));
    freeSlots_.push_back(top);
    // The new top is the likeliest next record to leave: fetch it while the caller expands
    // this one.
    if (last > 1) prefetchRecord(slots_[0]);
    return record;
  }

  static constexpr std::int64_t kChunkRecords = RecordChunks<Record>::kChunkRecords;

 private:
  void grow() {
    if constexpr (Policy::kLimit > 0) {
      if (capacity_ >= Policy::kLimit) Policy::atLimit();
      const std::int64_t grown = capacity_ * 10;
      capacity_ = grown >= Policy::kLimit ? Policy::kLimit : grown;
    } else {
      capacity_ *= 10;
    }
  }

  // Records stay where they were stored; only (key, slot) pairs move while sifting.
  std::int32_t store(Record&& record) {
    if (freeSlots_.empty()) return static_cast<std::int32_t>(records_.add(std::move(record)));
    const std::int32_t slot = freeSlots_.back();
    freeSlots_.pop_back();
    records_.at(slot) = std::move(record);
    return slot;
  }

  Record& recordAt(std::int32_t slot) { return records_.at(slot); }

  void prefetchRecord(std::int32_t slot) {
    const char* bytes = reinterpret_cast<const char*>(&recordAt(slot));
    for (std::size_t offset = 0; offset < sizeof(Record); offset += 64) prefetch(bytes + offset);
  }

  // Positions are 1-based: the parent of c is c / 2.
  void siftUp(int c, double key, std::int32_t slot) {
    for (int p = c / 2; p >= 1 && keys_[p - 1] < key; c = p, p = p / 2) {
      keys_[c - 1] = keys_[p - 1];
      slots_[c - 1] = slots_[p - 1];
    }
    keys_[c - 1] = key;
    slots_[c - 1] = slot;
  }

  void siftDown(double key, std::int32_t slot) {
    const int n = count();
    int c = 1;
    for (int d = 2; d <= n; d *= 2) {
      if (d < n && keys_[d - 1] < keys_[d]) ++d;
      if (!(keys_[d - 1] > key)) break;
      keys_[c - 1] = keys_[d - 1];
      slots_[c - 1] = slots_[d - 1];
      c = d;
    }
    keys_[c - 1] = key;
    slots_[c - 1] = slot;
  }

  std::int64_t capacity_;
  std::vector<double, HugePageAllocator<double>> keys_;
  std::vector<std::int32_t, HugePageAllocator<std::int32_t>> slots_;
  RecordChunks<Record> records_;
  std::vector<std::int32_t> freeSlots_;  // slots of popped records, reused first
};

}  // namespace kelm
