#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelm {

// The states of a blend search whose subtrees were searched without a design, so that another
// path to the same state is not searched again. Many guide orders give every panel the same
// laminate (two positions of one code but different levels swap without changing any panel's
// sequence), and each would search the same subtree. A state is a fixed number of words; the
// keys are kept whole, so that a state is skipped only when it is the very state that failed.
// The table grows up to a memory limit and then starts afresh (a state forgotten is only
// searched again).
class FailedStates {
 public:
  explicit FailedStates(std::size_t keyWords, std::size_t byteLimit = std::size_t{128} << 20);

  bool contains(const std::uint64_t* key) const;
  void insert(const std::uint64_t* key);
  std::int64_t skipped() const { return skipped_; }
  void countSkip() { ++skipped_; }

 private:
  std::size_t slotOf(const std::uint64_t* key) const;  // its slot, or the empty one it would take
  bool equalAt(std::size_t entry, const std::uint64_t* key) const;
  void grow();

  std::size_t keyWords_;
  std::size_t entryLimit_;
  std::vector<std::uint64_t> keys_;  // entry e at keys_[e * keyWords_]
  std::vector<std::uint32_t> slots_;  // entry + 1, or 0 when empty; a power of two in size
  std::size_t entries_ = 0;
  std::int64_t skipped_ = 0;
};

}  // namespace kelm
