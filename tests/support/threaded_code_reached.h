#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "alt/simultaneous_search.h"

namespace kelm::testing {

// The memory budget of a randomised trial shared out among two threads: so small that every
// subtree goes depth-first (trial % 4 == 1), about four open designs per thread, so that
// subtrees start best-first and go depth-first once they grow (2), or none (3).
inline std::int64_t budgetOf(int trial) {
  constexpr std::int64_t kFewOpenDesigns = 2 * 4 * 64;
  return trial % 4 == 1 ? 1 : trial % 4 == 2 ? kFewOpenDesigns : 0;
}

// A hand-over point no small tree reaches: its whole search runs in the first phase's batches.
constexpr int kNoHandOver = 1 << 30;

// Counts the randomised cases shared out among two threads whose tight search reached its
// threaded code: both threads searched a subtree (and so their designs were merged), and,
// under a memory budget, a subtree went depth-first; and, where the whole tree ran in small
// batches, both threads expanded designs of one batch. A test of the threaded code proves
// little if its threads get no work.
struct ThreadedCodeReached {
  int cases = 0;
  int threaded = 0;
  int budgeted = 0;
  int depthFirst = 0;
  int batchedCases = 0;
  int sharedBatches = 0;
  int takenAhead = 0;  // batched cases where a batch took children evaluated ahead of it

  void count(const SimultaneousSearch::ShareOut& shareOut, std::int64_t budget) {
    ++cases;
    threaded += shareOut.busyThreads > 1;
    budgeted += budget > 0;
    depthFirst += shareOut.depthFirstDives > 0;
  }
  // A case whose tree ran in batches of a few designs on two threads.
  void countBatches(const SimultaneousSearch::ShareOut& shareOut) {
    ++batchedCases;
    sharedBatches += shareOut.sharedBatches > 0;
    takenAhead += shareOut.childrenTakenAhead > 0;
  }
  void print() const {
    std::printf("threaded code reached: two busy threads in %d of %d cases shared out, "
                "depth-first in %d (%d with a budget); batches shared in %d of %d cases, "
                "children taken as evaluated ahead in %d\n",
                threaded, cases, depthFirst, budgeted, sharedBatches, batchedCases, takenAhead);
  }
  void expectMost() const {
    print();
    EXPECT_GT(2 * threaded, cases);
    EXPECT_GT(2 * depthFirst, budgeted);
    EXPECT_GT(2 * sharedBatches, batchedCases);
  }
};

}  // namespace kelm::testing
