#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_structure.h"
#include "laminate/stacking_sequence.h"

namespace kelm {

// Every laminate of one panel at one total that meets the panel's rules and requirements, held
// as a tree of its positions outer to inner. A panel near its lightest total holds few such
// laminates, and with them at hand a blend search knows exactly whether a growing laminate can
// still be completed (and the best smallest margin it can still reach) in one step, where the
// surfaces' bounds only bound it. Built only when the laminates are few: `complete()` says
// whether they all fitted within the limit.
class PanelCompletions {
 public:
  static constexpr int kNone = -1;
  static constexpr int kRoot = 0;

  // A stop asked for while it builds leaves it incomplete.
  PanelCompletions(const BlendPanel& panel, int plies, std::int64_t laminateLimit, std::int64_t positionLimit,
                   const StopRequest* stop = nullptr);

  bool complete() const { return complete_; }
  std::int64_t laminates() const { return laminates_; }
  // The node reached from `node` by one more position of `code`, or kNone when no laminate
  // that holds goes on so.
  int next(int node, int code) const { return nodes_[node].child[code]; }
  // Not below the largest smallest margin of the laminates below `node` (rounded up to a
  // float, so that a node takes 16 bytes; a complete laminate's margin is computed anew).
  double bestMargin(int node) const { return nodes_[node].bestMargin; }

 private:
  struct Node {
    int child[3] = {kNone, kNone, kNone};
    float bestMargin = 0.0f;
  };
  std::vector<Node> nodes_;
  std::int64_t laminates_ = 0;
  bool complete_ = false;

  friend class CompletionBuilder;
};

// The completion sets of one structure's panels, each built once and kept. Keyed by panel name
// and total (the searches of pairs, groups and whole vectors copy panels into structures of
// their own), or for panels without surfaces by their rules and total: such panels of equal
// rules share one set.
class CompletionsCache {
 public:
  // The panel's set at this total, or null when it holds more laminates than a search of
  // `budget` guide positions (0: no limit) may spend on building it, or than the cache holds.
  // A set given up on is tried again, further, for a larger budget; one cut short by a stop is
  // not taken as given up.
  const PanelCompletions* at(const BlendPanel& panel, int plies, std::int64_t budget,
                             const StopRequest* stop = nullptr);

  // Beyond these the bounds are left to do the work. All sets together hold at most
  // kHeldLimit laminates.
  static constexpr std::int64_t kLaminateLimit = 2000000;
  static constexpr std::int64_t kPositionsPerLaminate = 10;
  static constexpr std::int64_t kHeldLimit = 8000000;

 private:
  std::map<std::pair<std::string, int>, std::unique_ptr<PanelCompletions>> sets_;
  // Per panel (or rules), the thinnest total given up on and the laminates it was given up at (its own
  // total included): a thicker total holds more laminates.
  std::map<std::string, std::pair<int, std::int64_t>> givenUp_;
  std::int64_t held_ = 0;
};

}  // namespace kelm
