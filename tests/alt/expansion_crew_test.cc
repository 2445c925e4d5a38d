#include "alt/expansion_crew.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace kelm {
namespace {

// A thread left without a design of the batch does idle work while another finishes the
// batch's last design, every design is expanded once, and once the idle work is taken away
// no thread is inside it.
TEST(ExpansionCrewTest, IdleThreadWorksWhileTheBatchEnds) {
  ExpansionCrew crew(2);
  std::atomic<int> idlePieces{0};
  std::atomic<bool> inside{false};
  const std::function<bool(int)> idle = [&](int) {
    inside = true;
    ++idlePieces;
    std::this_thread::yield();
    inside = false;
    return idlePieces < 1000;  // then none is left
  };
  crew.setIdleWork(&idle);
  std::thread helper([&] { crew.serve(1); });
  std::vector<std::atomic<int>> expanded(6);
  const std::function<void(int, std::size_t)> expandOne = [&](int, std::size_t place) {
    // The batch's first design ends only once the other thread has done idle work.
    if (place == 0)
      while (idlePieces == 0) std::this_thread::yield();
    ++expanded[place];
  };
  crew.expandBatch(expanded.size(), expandOne);
  crew.wake();
  crew.setIdleWork(nullptr);
  EXPECT_FALSE(inside);
  crew.dismiss();
  helper.join();
  for (const std::atomic<int>& count : expanded) EXPECT_EQ(count, 1);
  EXPECT_GT(idlePieces, 0);
}

}  // namespace
}  // namespace kelm
