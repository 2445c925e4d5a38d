#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "base/platform_memory.h"

namespace kelm {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Allocator for the store's key and slot arrays: blocks of several megabytes are advised onto
// huge pages (the sift visits them in random order), smaller ones are ordinary.
template <typename T>
struct HugePageAllocator {
  using value_type = T;
  HugePageAllocator() = default;
  template <typename U>
  HugePageAllocator(const HugePageAllocator<U>&) {}

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < 2 * kHugePageBytes)
      return static_cast<T*>(allocateAligned(std::max(alignof(T), alignof(std::max_align_t)), bytes));
    void* memory = allocateAligned(kHugePageBytes, bytes);
    adviseHugePages(memory, bytes);
    return static_cast<T*>(memory);
  }
  void deallocate(T* p, std::size_t) { releaseAligned(p); }
  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const { return true; }
};

// Slot-addressed storage for the records of a best-first store: fixed chunks of raw memory,
// records constructed in a slot when it is first used. Growing never moves a record, and a
// chunk's pages are touched only as its slots fill. Every chunk after the first is advised
// onto huge pages where the system offers them: a large store is read in random order, and a
// few large pages keep its address translations cached.
template <typename Record>
class RecordChunks {
 public:
  static constexpr std::size_t kChunkBytes = std::size_t{4} << 20;
  static constexpr std::int64_t kChunkRecords = kChunkBytes / sizeof(Record);

  RecordChunks() = default;
  RecordChunks(const RecordChunks&) = delete;
  RecordChunks& operator=(const RecordChunks&) = delete;
  ~RecordChunks() {
    clear();
    for (Record* chunk : chunks_) releaseAligned(chunk);
  }

  // Destroys every record but keeps the chunks, whose pages are then already in place.
  void clear() {
    for (std::int64_t slot = 0; slot < used_; ++slot) at(slot).~Record();
    used_ = 0;
  }

  Record& at(std::int64_t slot) { return chunks_[slot / kChunkRecords][slot % kChunkRecords]; }

  // Constructs the record in the next unused slot and returns the slot.
  std::int64_t add(Record&& record) {
    if (used_ == static_cast<std::int64_t>(chunks_.size()) * kChunkRecords) addChunk();
    new (&at(used_)) Record(std::move(record));
    return used_++;
  }

 private:
  void addChunk() {
    void* memory = allocateAligned(kHugePageBytes, kChunkBytes);
    if (!chunks_.empty()) adviseHugePages(memory, kChunkBytes);
    chunks_.push_back(static_cast<Record*>(memory));
  }

  std::vector<Record*> chunks_;
  std::int64_t used_ = 0;
};

}  // namespace kelm
