// Where the tight search's bound is loose: for partial designs near an optimum that the search
// would have to expand (bound at or above the optimum), the gap between the bound and the best
// allowed completion, split into the parts the bound relaxes:
//   skin / stiffener bending: each laminate's own part over the hexagon against its best real
//     arrangement (the in-plane part is exact per count, so this is all of the own relaxation);
//   apart: the two own parts maximised apart from each other and from the coupling, against
//     their values at the best completion;
//   coupling: what the bound allows for the skin-stiffener terms against their value at the
//     best completion.
// usage: kelm_bound_looseness OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE [NODES_PER_DEPTH
//        [OPTIMAL_SKIN OPTIMAL_STIFFENER]]   (an optimum in the report's bracket form, else the
//        tight search finds one)
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "alt/count_coupled_bound.h"
#include "alt/simultaneous_search.h"
#include "base/seeded_random.h"
#include "cli/run_setup.h"
#include "laminate/design_rules.h"
#include "laminate/laminate_text.h"
#include "response/full_objective.h"

namespace {

using namespace kelm;

constexpr double kMinusInfinity = -1e300;

struct Completion {
  double value = kMinusInfinity;
  PanelDesign design;
};

double valueAt(const FullObjective& f, const StackingSequence& skin,
               const StackingSequence& stiffener) {
  double x[8];
  for (int i = 0; i < 4; ++i) {
    x[i] = skin.parameters()[i];
    x[4 + i] = stiffener.parameters()[i];
  }
  return f.fullObjective(x);
}

// Every allowed completion of one sequence's open positions, set in order as the tree sets them.
void completions(const StackingSequence& start, const LaminateRules& rules,
                 std::vector<StackingSequence>& out) {
  std::vector<StackingSequence> stack{start};
  while (!stack.empty()) {
    StackingSequence s = stack.back();
    stack.pop_back();
    if (s.complete()) {
      if (checkComplete(s, rules)) out.push_back(s);
      continue;
    }
    for (int code = 0; code < 3; ++code) {
      StackingSequence child = s;
      child.setTheta(s.setCount() + 1, code);
      if (checkPartial(child, rules)) stack.push_back(child);
    }
  }
}

struct Sums {
  int sampled = 0;
  int kept = 0;
  double gap = 0, skinBending = 0, stiffenerBending = 0, apart = 0, coupling = 0;
};

bool setPrefix(StackingSequence& s, const StackingSequence& optimum, int setCount, int changes,
               const LaminateRules& rules, CRand& random) {
  std::vector<int> codes(setCount);
  for (int p = 1; p <= setCount; ++p) codes[p - 1] = optimum.codeAt(p);
  for (int c = 0; c < changes && setCount > 0; ++c)
    codes[random.next() % setCount] = random.next() % 3;
  for (int p = 1; p <= setCount; ++p) {
    s.setTheta(p, codes[p - 1]);
    if (!checkPartial(s, rules)) return false;
  }
  return true;
}

void measureNode(const PreparedRun& run, const FullObjective& f, CountCoupledBound& bound,
                 const PanelDesign& node, double optimum, Sums& sums) {
  const double b = bound.evaluate(node, optimum);
  if (b < optimum - 1e-13) return;
  const CountCoupledBound::Parts parts = bound.lastParts();
  std::vector<StackingSequence> skins, stiffeners;
  completions(node.skin, run.skinRules, skins);
  completions(node.stiffener, run.stiffenerRules, stiffeners);
  if (skins.empty() || stiffeners.empty()) return;
  const double base = parts.value;
  double skinExact = kMinusInfinity, stiffenerExact = kMinusInfinity;
  for (const auto& s : skins) skinExact = std::max(skinExact, valueAt(f, s, node.stiffener) - base);
  for (const auto& t : stiffeners)
    stiffenerExact = std::max(stiffenerExact, valueAt(f, node.skin, t) - base);
  double best = kMinusInfinity, ownSkin = 0, ownStiffener = 0;
  for (const auto& s : skins) {
    const double sOwn = valueAt(f, s, node.stiffener) - base;
    for (const auto& t : stiffeners) {
      const double v = valueAt(f, s, t);
      if (v > best) {
        best = v;
        ownSkin = sOwn;
        ownStiffener = valueAt(f, node.skin, t) - base;
      }
    }
  }
  const double couplingAtBest = best - base - ownSkin - ownStiffener;
  ++sums.kept;
  sums.gap += b - best;
  sums.skinBending += parts.skinOwn - skinExact;
  sums.stiffenerBending += parts.stiffenerOwn - stiffenerExact;
  sums.apart += skinExact + stiffenerExact - ownSkin - ownStiffener;
  sums.coupling += (b - bound.margin() - base - parts.skinOwn - parts.stiffenerOwn) - couplingAtBest;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: kelm_bound_looseness OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE [NODES]\n";
    return 2;
  }
  const int perDepth = argc > 5 ? std::stoi(argv[5]) : 40;
  const int maxOpen = 8;
  const std::vector<std::string> args(argv + 1, argv + 5);
  PreparedRun run;
  std::istringstream noInput;
  prepareRun(run, Program::Alt, args, noInput, std::cout);
  const int ns = run.options.skinPlyTotal, nt = run.options.stiffenerPlyTotal;
  FullObjective f;
  f.setFullObjective(run.model);
  PanelDesign optimum;
  if (argc > 7) {
    optimum.skin = parseHalfLaminate(argv[6], ns, "skin");
    optimum.stiffener = parseHalfLaminate(argv[7], nt, "stiffener");
    optimum.value = valueAt(f, optimum.skin, optimum.stiffener);
  } else {
    SimultaneousSearch search(run.model, run.skinRules, run.stiffenerRules, 1, true);
    std::ostringstream sink;
    auto* out = std::cout.rdbuf(sink.rdbuf());
    auto* err = std::cerr.rdbuf(sink.rdbuf());
    search.run(ns, nt);
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    optimum = search.results().front();
  }
  CountCoupledBound bound;
  bound.setModel(run.model, ns, nt, run.skinRules, run.stiffenerRules);
  bound.setFullPairScan(true);
  std::printf("optimum %.10f; gaps as mean over the nodes kept (bound >= optimum)\n",
              optimum.value);
  std::printf("| open (skin, stiffener) | kept / sampled | gap | skin bending | stiffener bending | "
              "own parts apart | coupling |\n|---|---|---|---|---|---|---|\n");
  CRand random(7);
  const int hs = halfPositions(ns), ht = halfPositions(nt);
  for (int open = 2; open <= maxOpen; ++open) {
    Sums sums;
    for (int i = 0; i < perDepth * 20 && sums.kept < perDepth; ++i) {
      PanelDesign node;
      node.skin.setPlyTotal(ns);
      node.stiffener.setPlyTotal(nt);
      const int changes = random.next() % 4;
      if (!setPrefix(node.skin, optimum.skin, hs - open, changes, run.skinRules, random) ||
          !setPrefix(node.stiffener, optimum.stiffener, ht - open, changes, run.stiffenerRules,
                     random))
        continue;
      ++sums.sampled;
      measureNode(run, f, bound, node, optimum.value, sums);
    }
    const double k = sums.kept > 0 ? sums.kept : 1;
    std::printf("| %d, %d | %d / %d | %.2e | %.2e | %.2e | %.2e | %.2e |\n", open, open, sums.kept,
                sums.sampled, sums.gap / k, sums.skinBending / k, sums.stiffenerBending / k,
                sums.apart / k, sums.coupling / k);
  }
  return 0;
}
