#pragma once

namespace kelm {

// How many open designs the tight tree holds before it hands their subtrees to the threads.
// 512 keeps two to eight threads evenly busy on real panels; the small trees of tests close
// long before that, so their threads would get no work. `KELM_SUBTREE_ROOTS=N` (a positive
// whole number, read once per process) sets another hand-over point, for tests and
// benchmarks only: it changes the step counts of a search, never its designs or value.
constexpr int kDefaultSubtreeRoots = 512;
int subtreeRootsSetting();

}  // namespace kelm
