#include "iter/branch_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "support/failure.h"

namespace kelm {
namespace {

// A branch with the given bound; `tag` is carried in the ply total so that records with equal
// bounds can be told apart after they have moved through a store.
Branch branch(double bound, int tag = 0, int setCount = 2) {
  Branch b;
  b.sequence.setPlyTotal(20 + tag);
  for (int position = 1; position <= setCount; ++position) b.sequence.setTheta(position, kCode0);
  b.bound = bound;
  return b;
}

template <typename Store>
std::vector<int> popAllTags(Store& store) {
  std::vector<int> tags;
  while (store.count() > 0) tags.push_back(static_cast<int>(store.pop().sequence.halfPlies() * 2) - 20);
  return tags;
}

TEST(BranchHeapTest, GrowsTenfoldWhenFullAndKeepsHeapOrder) {
  BranchHeap heap(3);
  EXPECT_EQ(heap.capacity(), 9);
  for (int tag : {3, 9, 1, 5, 7, 2, 8, 4, 6}) heap.push(branch(0.1 * tag, tag));
  EXPECT_EQ(heap.capacity(), 9);
  heap.push(branch(1.0, 10));
  EXPECT_EQ(heap.capacity(), 90);
  EXPECT_EQ(popAllTags(heap), (std::vector<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST(BranchHeapTest, EqualKeysFavourTheEarlierParentAndTheLeftChild) {
  BranchHeap parentAndChild(3);
  parentAndChild.push(branch(1.0, 1));
  parentAndChild.push(branch(1.0, 2));
  EXPECT_EQ(popAllTags(parentAndChild), (std::vector<int>{1, 2}));

  // After the root leaves, the last entry sinks below the two equal children; the left rises.
  BranchHeap twoChildren(3);
  const std::pair<double, int> entries[] = {{5.0, 0}, {1.0, 1}, {1.0, 2}, {0.0, 3}};
  for (const auto& [key, tag] : entries) twoChildren.push(branch(key, tag));
  EXPECT_EQ(popAllTags(twoChildren), (std::vector<int>{0, 1, 2, 3}));
}

// Records live in chunks; slots freed by pops are reused. Across several chunks and with
// pops in between, every record comes back intact and in key order.
TEST(BranchHeapTest, KeepsRecordsIntactAcrossStorageChunks) {
  BranchHeap heap(400);
  const int count = 3 * BranchHeap::kChunkRecords + 5;
  std::vector<int> expected;
  for (int i = 0; i < count; ++i) {
    const int tag = (i * 7919) % count;
    heap.push(branch(tag, tag % 50));
    if (i % 3 == 2) {  // frees a slot for the next push
      const Branch top = heap.pop();
      expected.push_back(static_cast<int>(top.bound));
      EXPECT_EQ(static_cast<int>(top.sequence.halfPlies() * 2) - 20,
                static_cast<int>(top.bound) % 50);
    }
  }
  double previous = 1e300;
  while (heap.count() > 0) {
    const Branch top = heap.pop();
    EXPECT_LE(top.bound, previous);
    EXPECT_EQ(static_cast<int>(top.sequence.halfPlies() * 2) - 20, static_cast<int>(top.bound) % 50);
    EXPECT_EQ(top.sequence.setCount(), 2);
    previous = top.bound;
    expected.push_back(static_cast<int>(top.bound));
  }
  std::sort(expected.begin(), expected.end());
  for (int i = 0; i < count; ++i) ASSERT_EQ(expected[i], i);
}

TEST(BranchHeapDeathTest, GrowthIsCappedAtTheLimitAndAFullHeapEndsTheRun) {
  BranchHeap heap(20);
  std::vector<std::int64_t> capacities{heap.capacity()};
  for (int i = 0; i < kBranchHeapLimit; ++i) {
    heap.push(branch(0.0));
    if (heap.capacity() != capacities.back()) capacities.push_back(heap.capacity());
  }
  EXPECT_EQ(capacities, (std::vector<std::int64_t>{400, 4000, 40000, 400000, 750000}));
  EXPECT_FAILS_WITH(heap.push(branch(0.0)), "^heap size has exceed the memory size limit abnormally!\n$");
}

TEST(BranchStackDeathTest, HoldsTwiceTheLaminatePositions) {
  BranchStack stack(4);
  for (int i = 0; i < 8; ++i) stack.push(branch(0.1 * i));
  EXPECT_EQ(stack.count(), 8);
  EXPECT_FAILS_WITH(stack.push(branch(0.0)), "^stack size has exceed the memory size limit !\n$");
}

TEST(BranchStackTest, SiblingsPopMostPromisingFirst) {
  BranchStack alone(4);
  BranchStack onParent(4);
  onParent.push(branch(0.9, 0, 1));  // of another depth: never passed
  for (BranchStack* stack : {&alone, &onParent}) {
    stack->push(branch(0.2, 1));
    stack->push(branch(0.7, 2));
    stack->push(branch(0.5, 3));
  }
  EXPECT_EQ(popAllTags(alone), (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(popAllTags(onParent), (std::vector<int>{2, 3, 1, 0}));
}

TEST(BranchStackTest, NewBranchGoesOnTopUnlessClearlyBelowASibling) {
  auto order = [](std::vector<Branch> branches) {
    BranchStack stack(4);
    for (Branch& b : branches) stack.push(b);
    return popAllTags(stack);
  };
  EXPECT_EQ(order({branch(0.5, 1), branch(0.5 - 1e-14, 2)}), (std::vector<int>{2, 1}));
  EXPECT_EQ(order({branch(0.5 + 1e-13, 1), branch(0.5, 2)}), (std::vector<int>{1, 2}));
  EXPECT_EQ(order({branch(0.9, 1, 2), branch(0.1, 2, 3)}), (std::vector<int>{2, 1}));
  // Only the two top branches are passed, never the one below them.
  EXPECT_EQ(order({branch(0.9, 1), branch(0.8, 2), branch(0.7, 3), branch(0.1, 4)}),
            (std::vector<int>{1, 2, 4, 3}));
}

}  // namespace
}  // namespace kelm
