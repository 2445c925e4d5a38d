#include "blend/failed_states.h"

#include <algorithm>

namespace kelm {

namespace {

std::uint64_t hashOf(const std::uint64_t* key, std::size_t words) {
  std::uint64_t h = 0x9e3779b97f4a7c15ull;
  for (std::size_t i = 0; i < words; ++i) {
    h ^= key[i] + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    h *= 0xbf58476d1ce4e5b9ull;
  }
  return h ^ (h >> 31);
}

}  // namespace

FailedStates::FailedStates(std::size_t keyWords, std::size_t byteLimit)
    : keyWords_(std::max<std::size_t>(keyWords, 1)),
      entryLimit_(std::max<std::size_t>(byteLimit / (keyWords_ * 8 + 8), 16)),
      slots_(1024, 0) {}

std::size_t FailedStates::slotOf(const std::uint64_t* key) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hashOf(key, keyWords_) & mask;
  while (slots_[slot] != 0 && !equalAt(slots_[slot] - 1, key)) slot = (slot + 1) & mask;
  return slot;
}

bool FailedStates::equalAt(std::size_t entry, const std::uint64_t* key) const {
  return std::equal(key, key + keyWords_, keys_.begin() + static_cast<std::ptrdiff_t>(entry * keyWords_));
}

bool FailedStates::contains(const std::uint64_t* key) const { return slots_[slotOf(key)] != 0; }

void FailedStates::insert(const std::uint64_t* key) {
  if (entries_ >= entryLimit_) {
    // Full: start afresh rather than search for what to forget.
    keys_.clear();
    std::fill(slots_.begin(), slots_.end(), 0u);
    entries_ = 0;
  }
  if (2 * (entries_ + 1) > slots_.size()) grow();
  const std::size_t slot = slotOf(key);
  if (slots_[slot] != 0) return;
  keys_.insert(keys_.end(), key, key + keyWords_);
  slots_[slot] = static_cast<std::uint32_t>(++entries_);
}

void FailedStates::grow() {
  std::vector<std::uint32_t> old(slots_.size() * 2, 0u);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t e = 0; e < entries_; ++e) {
    std::size_t slot = hashOf(&keys_[e * keyWords_], keyWords_) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(e + 1);
  }
}

}  // namespace kelm
