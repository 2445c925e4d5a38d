// The searches allocate per run and per turn, never per step: a counting global operator new
// sees how many allocations a whole search makes, and a search of many times the steps may
// make only a few more (the stores' storage grows geometrically or by large chunks).
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <new>
#include <string>

#include "alt/simultaneous_search.h"
#include "response/rs_file.h"
#include "iter/branch_and_bound_search.h"

namespace {
long gAllocations = 0;
}

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace kelm {
namespace {

// Discards everything: the drivers' progress and round lines must not allocate here.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

struct Counted {
  long allocations;
  long long steps;
};

LaminateRules balancedRules(int total) {
  LaminateRules rules;
  rules.halfPlyCount = total / 2 + total % 2;
  return rules;
}

template <typename Driver, typename... Extra>
Counted countRun(int skinTotal, int stiffenerTotal, Extra... extra) {
  ResponseSurface model;
  RsFile(std::string(KELM_EXAMPLES) + "/panel_a.rs", model);
  const LaminateRules skin = balancedRules(skinTotal);
  const LaminateRules stiffener = balancedRules(stiffenerTotal);
  Driver driver(model, skin, stiffener, extra...);
  NullBuffer sink;
  std::streambuf* out = std::cout.rdbuf(&sink);
  std::streambuf* err = std::cerr.rdbuf(&sink);
  const long before = gAllocations;
  driver.run(skinTotal, stiffenerTotal);
  const long allocations = gAllocations - before;
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);
  return {allocations, driver.totalSteps()};
}

TEST(AllocationCountTest, SimultaneousSearchAllocatesPerRunNotPerStep) {
  const Counted small = countRun<SimultaneousSearch>(16, 16, 7u);
  const Counted large = countRun<SimultaneousSearch>(24, 24, 7u);
  ASSERT_GT(large.steps, 10 * small.steps);
  EXPECT_LT(large.allocations, small.allocations + 40) << small.allocations;
  EXPECT_LT(large.allocations * 1000, large.steps);
}

TEST(AllocationCountTest, BranchAndBoundTurnsAllocatePerTurnNotPerStep) {
  const Counted small = countRun<BranchAndBoundSearch>(24, 24);
  const Counted large = countRun<BranchAndBoundSearch>(48, 48);
  ASSERT_GT(large.steps, 10 * small.steps);
  // About one store and its growth per turn: the larger run has more turns, not more per step.
  EXPECT_LT(large.allocations, 2 * small.allocations) << small.allocations;
  EXPECT_LT(large.allocations * 100, large.steps);
}

}  // namespace
}  // namespace kelm
