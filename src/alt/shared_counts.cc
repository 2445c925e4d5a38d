#include "alt/shared_counts.h"

#include <algorithm>
#include <cstdint>

#include "search/tie_rule.h"

namespace kelm {

namespace {
// Narrowings of one design at most: each costs a mode's bound again; past a few rounds of the
// modes, counts rarely drop.
constexpr int kNarrowingRounds = 4;
}  // namespace

// A count is known by its numbers of 0 and +-45 codes (the 90s fill the rest) and its mid-plane
// code: the same count has a different entry in each mode's table.
void SharedCounts::setPositions(int skinPositions, int stiffenerPositions) {
  const int positions[kLaminates] = {skinPositions, stiffenerPositions};
  for (int l = 0; l < kLaminates; ++l) {
    stride_[l] = positions[l] + 1;
    marks_[l].assign(static_cast<std::size_t>(stride_[l]) * stride_[l] * 4, 0);
    sharedMark_[l] = 0;
  }
}

std::size_t SharedCounts::markOf(int laminate, const CountEntry& entry) const {
  return (static_cast<std::size_t>(entry.count[0]) * stride_[laminate] + entry.count[1]) * 4 +
         (entry.midCode + 1);
}

std::size_t SharedCounts::markShared(int laminate, const std::vector<Mode>& modes) {
  std::vector<std::uint32_t>& marks = marks_[laminate];
  const std::uint32_t modeCount = static_cast<std::uint32_t>(modes.size());
  if (sharedMark_[laminate] > UINT32_MAX - (kNarrowingRounds + 2) * modeCount) {
    std::fill(marks.begin(), marks.end(), 0);
    sharedMark_[laminate] = 0;
  }
  const std::uint32_t first = sharedMark_[laminate] + 1;
  std::size_t count = 0;
  for (std::uint32_t k = 0; k < modeCount; ++k) {
    count = 0;
    for (const LaminateCountScan::Candidate* c : modes[k].bound->kept(laminate)) {
      std::uint32_t& mark = marks[markOf(laminate, *c->entry)];
      if (k == 0 || mark == first + k - 1) mark = first + k, ++count;
    }
  }
  sharedMark_[laminate] = first + modeCount - 1;
  return count;
}

// Each mode in turn is bounded again over the shared counts, and what it keeps becomes the
// shared counts (a subset of them), until every mode has kept all of them since the last drop.
bool SharedCounts::allow(const std::vector<Mode>& modes, double& key) {
  const std::size_t modeCount = modes.size();
  if (modeCount < 2) return true;
  std::size_t shared[kLaminates];
  for (int l = 0; l < kLaminates; ++l)
    if ((shared[l] = markShared(l, modes)) == 0) return false;
  std::size_t sinceDrop = 0;
  const std::size_t narrowings = kNarrowingRounds * modeCount;
  for (std::size_t n = 0; n < narrowings && sinceDrop < modeCount; ++n) {
    const Mode& mode = modes[n % modeCount];
    if (mode.bound->kept(0).size() == shared[0] && mode.bound->kept(1).size() == shared[1]) {
      ++sinceDrop;
      continue;
    }
    const double bound = mode.bound->narrow(
        [&](int l, const LaminateCountScan::Candidate& c) { return isShared(l, *c.entry); },
        mode.floor);
    if (!canReach(bound, mode.floor)) return false;
    if (mode.objective) key = std::min(key, bound);
    sinceDrop = 1;
    for (int l = 0; l < kLaminates; ++l) {
      const std::size_t kept = markKept(l, *mode.bound);
      if (kept < shared[l]) sinceDrop = 0;
      shared[l] = kept;
    }
  }
  return true;
}

std::size_t SharedCounts::markKept(int laminate, const CountCoupledBound& bound) {
  const std::uint32_t mark = ++sharedMark_[laminate];
  for (const LaminateCountScan::Candidate* c : bound.kept(laminate))
    marks_[laminate][markOf(laminate, *c->entry)] = mark;
  return bound.kept(laminate).size();
}

}  // namespace kelm
