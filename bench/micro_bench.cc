// The search's hot operations one by one, and one whole step of each driver built from them,
// so that a step's cost can be set against its bound's.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "search/panel_value.h"
#include "alt/count_coupled_bound.h"
#include "alt/joint_bound_model.h"
#include "alt/simultaneous_search.h"
#include "bench_fixture.h"
#include "laminate/design_rules.h"
#include "iter/bound_model.h"
#include "iter/branch_store.h"

namespace kelm::bench {
namespace {

constexpr int kCodes = 3;

void BM_IterBranchBound(benchmark::State& state) {
  BoundModel model;
  model.setBoundModel(panelSurface());
  const ActiveDesign design = halfwayDesign();
  model.setBoundTerms(design);
  for (auto _ : state) benchmark::DoNotOptimize(EvaluateBranch_iter(design, model));
}
BENCHMARK(BM_IterBranchBound);

// One kelm_iter branch-and-bound expansion: pop a branch, and for each code copy the parent,
// set its next ply, check the rules, bound the child and push it. The parent is always the same
// halfway branch, so the store keeps its size and depth.
void BM_IterStep(benchmark::State& state) {
  BoundModel model;
  model.setBoundModel(panelSurface());
  const LaminateRules rules = balancedRules(32);
  ActiveDesign design = halfwayDesign();
  model.setBoundTerms(design);
  BranchHeap heap(16);
  const Branch parent{design.design.stiffener};
  for (int i = 0; i < 1000; ++i) heap.push(parent);
  for (auto _ : state) {
    benchmark::DoNotOptimize(heap.pop());
    for (int code = 0; code < kCodes; ++code) {
      Branch child{parent.sequence};
      child.sequence.setTheta(child.sequence.setCount() + 1, code);
      if (!checkPartial(child.sequence, rules)) continue;
      design.design.stiffener = child.sequence;
      child.bound = EvaluateBranch_iter(design, model);
      heap.push(std::move(child));
    }
    while (heap.count() > 1000) heap.pop();
  }
  state.SetItemsProcessed(state.iterations() * kCodes);
}
BENCHMARK(BM_IterStep);

void BM_JointBound(benchmark::State& state) {
  JointBoundModel model;
  model.setJointBoundModel(panelSurface());
  const OpenDesign parent = halfwayDesign();
  model.setJointBoundTerms(parent);
  OpenDesign child = parent;
  child.design.stiffener.setTheta(8, 1);
  for (auto _ : state) benchmark::DoNotOptimize(model.evaluateJointBound(child));
}
BENCHMARK(BM_JointBound);

// The tight mode's bound of the same child: both laminates' counts scanned, hexagons maximised,
// coupling boxes narrowed against a best value the child can reach.
void BM_CountCoupledBound(benchmark::State& state) {
  const LaminateRules rules = balancedRules(32);
  CountCoupledBound bound;
  bound.setModel(panelSurface(), 32, 32, rules, rules);
  OpenDesign child = halfwayDesign();
  child.design.stiffener.setTheta(8, 1);
  for (auto _ : state) benchmark::DoNotOptimize(bound.evaluate(child.design, 0.97));
}
BENCHMARK(BM_CountCoupledBound);

// One kelm_alt expansion: pop a packed design and rebuild it, prepare the fixed laminate's
// terms, and for each code copy the parent, set its next ply, check both laminates, bound the
// child and push it packed. The parent is always the same halfway design, so the store keeps
// its size and depth.
void BM_AltStep(benchmark::State& state) {
  JointBoundModel model;
  model.setJointBoundModel(panelSurface());
  const LaminateRules rules = balancedRules(32);
  DesignHeap<PackedOpenDesign> heap(64);
  const OpenDesign parent = halfwayDesign();
  OpenDesign popped = parent;
  for (int i = 0; i < 1000; ++i) heap.push(PackedRecords::pack(parent));
  for (auto _ : state) {
    PackedRecords::unpack(heap.pop(), popped);
    model.setJointBoundTerms(popped);
    for (int code = 0; code < kCodes; ++code) {
      OpenDesign child = parent;
      StackingSequence& stiffener = child.design.stiffener;
      stiffener.setTheta(stiffener.setCount() + 1, code);
      if (!checkPartial(child.design.skin, rules) || !checkPartial(stiffener, rules)) continue;
      child.bound = model.evaluateJointBound(child);
      heap.push(PackedRecords::pack(child));
    }
    while (heap.count() > 1000) heap.pop();
  }
  state.SetItemsProcessed(state.iterations() * kCodes);
}
BENCHMARK(BM_AltStep);

void BM_FullObjective(benchmark::State& state) {
  FullObjective objective;
  objective.setFullObjective(panelSurface());
  PanelDesign design;
  design.skin.setPlyTotal(32);
  design.stiffener.setPlyTotal(32);
  design.skin.fillZero();
  design.stiffener.fillZero();
  for (auto _ : state) benchmark::DoNotOptimize(fullObjective(objective, design));
}
BENCHMARK(BM_FullObjective);

// Push and pop with the store holding `range(0)` open designs of random bounds.
void BM_DesignHeapPushPop(benchmark::State& state) {
  const int held = static_cast<int>(state.range(0));
  std::mt19937 random(7);
  std::uniform_real_distribution<double> bound(0.0, 1.0);
  DesignHeap<PackedOpenDesign> heap(64);
  PackedOpenDesign design = PackedRecords::pack(halfwayDesign());
  for (int i = 0; i < held; ++i) {
    design.bound = bound(random);
    heap.push(design);
  }
  for (auto _ : state) {
    PackedOpenDesign top = heap.pop();
    top.bound = bound(random);
    heap.push(std::move(top));
  }
}
BENCHMARK(BM_DesignHeapPushPop)->Arg(100000)->Arg(1000000);

}  // namespace
}  // namespace kelm::bench

BENCHMARK_MAIN();
