// Where the tight search's steps go in a large tree, and how loose its bound is at the designs it
// expands there, for trees too deep to complete a design's open positions exhaustively.
//
// With the best value at the optimum (the search's first best value is the optimum on the
// thick cases this is for), a design is expanded exactly when every design on its path has a
// key that reaches the optimum. Random dives down such paths estimate the expansions at each
// depth (Knuth's estimator: the product of the open children's numbers along the dive), and the
// designs met on the way are a sample of those the search expands. At a sample of them the
// bound is split into its parts and set against the best completion a local search finds:
//   gap: the bound (its lowest key: the whole pair scan) over that completion;
//   skin / stiffener own: each laminate's own part as bounded (counts, polygons) over the best
//     own part a local search of that laminate alone finds (the other's open positions empty);
//   apart: those two own maxima over the own parts at the best completion;
//   coupling: the skin-stiffener terms as bounded over their value at the best completion.
// gap = margin + skin own + stiffener own + apart + coupling, up to the local search's shortfall.
// The gap is also split at the relaxation's exact maximum (every pair of kept counts, each
// bending increment anywhere in its polygon, every term exact; see PairRelaxation): the bound
// over it is what a sharper bound of the same relaxation could still take, it over the completion
// what only a finer relaxation could; "cut by the relaxation" counts the designs its exact
// maximum would have cut. The first, loosest bound is given with the skin-stiffener terms split
// at the origin (as the bound splits them) and at the incumbent's increments. Per depth band the
// children are timed (kept and cut by the count bound), and for the kept ones it says whether
// the pair of counts at the incumbent's totals of codes is kept and reaches the best value.
// KELM_TREE_GAP_NODES=1 prints each sampled design.
// usage: kelm_tree_gap OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE DIVES [SAMPLES_PER_BAND [SEED]]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "alt/count_coupled_bound.h"
#include "alt/design_heap.h"
#include "alt/joint_bound_model.h"
#include "alt/ply_order.h"
#include "alt/simultaneous_search.h"
#include "base/seeded_random.h"
#include "cli/run_setup.h"
#include "laminate/design_rules.h"
#include "response/full_objective.h"
#include "search/surface_blocks.h"
#include "search/symmetric_surface.h"
#include "search/tie_rule.h"
#include "silenced.h"

namespace {

using namespace kelm;

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

double valueAt(const FullObjective& f, const StackingSequence& skin,
               const StackingSequence& stiffener) {
  double x[8];
  for (int i = 0; i < 4; ++i) {
    x[i] = skin.parameters()[i];
    x[4 + i] = stiffener.parameters()[i];
  }
  return f.fullObjective(x);
}

StackingSequence built(int total, const std::vector<int>& codes, int setCount) {
  StackingSequence s;
  s.setPlyTotal(total);
  for (int p = 1; p <= setCount; ++p) s.setTheta(p, codes[p - 1]);
  return s;
}

std::vector<int> codesOf(const StackingSequence& s) {
  std::vector<int> codes(s.plyCount(), 0);
  for (int p = 1; p <= s.setCount(); ++p) codes[p - 1] = s.codeAt(p);
  return codes;
}

// One laminate's open positions filled from `hint` where the rules let them, depth first.
bool fill(int total, std::vector<int>& codes, int from, const std::vector<int>& hint,
          const LaminateRules& rules, StackingSequence& s) {
  const int n = static_cast<int>(codes.size());
  if (from > n) return checkComplete(s, rules);
  for (int k = 0; k < 3; ++k) {
    const int code = (hint[from - 1] + k) % 3;
    StackingSequence child = s;
    child.setTheta(from, code);
    if (!checkPartial(child, rules)) continue;
    codes[from - 1] = code;
    if (fill(total, codes, from + 1, hint, rules, child)) {
      s = child;
      return true;
    }
  }
  return false;
}

// A laminate being climbed: its codes, its first open position, its total and rules.
struct Climbed {
  std::vector<int> codes;
  int firstOpen;
  int total;
  const LaminateRules* rules;
  StackingSequence sequence;
};

// First-improvement local search over the open positions of the laminates in `free` (single
// changes, exchanges, two changes that keep the +-45 parity), `value` of the two sequences.
template <typename Value>
double climb(std::vector<Climbed*> free, const Value& value, CRand& random, long long budget) {
  double current = value();
  struct Move {
    int laminate, first, second, code, secondCode;
  };
  std::vector<Move> moves;
  bool improved = true;
  long long spent = 0;
  while (improved && spent < budget) {
    improved = false;
    moves.clear();
    for (int l = 0; l < static_cast<int>(free.size()); ++l) {
      const Climbed& c = *free[l];
      const int n = static_cast<int>(c.codes.size());
      for (int p = c.firstOpen; p <= n; ++p) {
        for (int code = 0; code < 3; ++code)
          if (code != c.codes[p - 1]) moves.push_back({l, p, 0, code, -1});
        for (int q = p + 1; q <= n; ++q) {
          if (c.codes[p - 1] != c.codes[q - 1]) moves.push_back({l, p, q, -1, -1});
          for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) {
              if (a == c.codes[p - 1] || b == c.codes[q - 1]) continue;
              const int change = (a == 1) + (b == 1) - (c.codes[p - 1] == 1) - (c.codes[q - 1] == 1);
              if (change % 2 == 0) moves.push_back({l, p, q, a, b});
            }
        }
      }
    }
    for (std::size_t i = moves.size(); i > 1; --i)
      std::swap(moves[i - 1], moves[random.next() % i]);
    for (const Move& m : moves) {
      if (++spent > budget) break;
      Climbed& c = *free[m.laminate];
      const int wasFirst = c.codes[m.first - 1];
      const int wasSecond = m.second > 0 ? c.codes[m.second - 1] : 0;
      if (m.code < 0) {
        std::swap(c.codes[m.first - 1], c.codes[m.second - 1]);
      } else {
        c.codes[m.first - 1] = m.code;
        if (m.secondCode >= 0) c.codes[m.second - 1] = m.secondCode;
      }
      StackingSequence next = built(c.total, c.codes, static_cast<int>(c.codes.size()));
      if (checkComplete(next, *c.rules)) {
        std::swap(next, c.sequence);
        const double v = value();
        if (v > current) {
          current = v;
          improved = true;
          break;
        }
        std::swap(next, c.sequence);
      }
      c.codes[m.first - 1] = wasFirst;
      if (m.second > 0) c.codes[m.second - 1] = wasSecond;
    }
  }
  return current;
}


// The exact largest value of a pair of counts' relaxation: both in-plane increments as the
// counts fix them, each bending increment anywhere in its count's polygon, every term of the
// quadratic exact (the own parts and the skin-stiffener coupling). The largest value over a
// product of polygons lies inside some product of faces (corner, edge or inside of each), at the
// stationary point of the quadratic on that face's plane where the quadratic is negative definite
// there: every such point is tried.
class PairRelaxation {
 public:
  explicit PairRelaxation(const SymmetricSurface& surface) : h_(surface.hessian) {}

  // The increment over F at the node, for gradient `g` (8) there.
  double maximum(const CountEntry& s, const CountEntry& t, const double* g) const {
    const double* a = s.inPlane;
    const double* b = t.inPlane;
    double constant = (g[0] * a[0] + g[1] * a[1]) + s.inPlaneCurvature +
                      (g[4] * b[0] + g[5] * b[1]) + t.inPlaneCurvature;
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j) constant += a[i] * h_[i][4 + j] * b[j];
    double linear[4];
    for (int i = 0; i < 2; ++i) {
      linear[i] = g[2 + i] + s.inPlaneIntoBending[i] + h_[2 + i][4] * b[0] + h_[2 + i][5] * b[1];
      linear[2 + i] = g[6 + i] + t.inPlaneIntoBending[i] + h_[0][6 + i] * a[0] + h_[1][6 + i] * a[1];
    }
    double m[4][4];
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j) {
        m[i][j] = h_[2 + i][2 + j];
        m[2 + i][2 + j] = h_[6 + i][6 + j];
        m[i][2 + j] = h_[2 + i][6 + j];
        m[2 + j][i] = h_[2 + i][6 + j];
      }
    const std::vector<Face> fs = faces(s), ft = faces(t);
    double best = kMinusInfinity;
    for (const Face& x : fs)
      for (const Face& y : ft) best = std::max(best, onFaces(x, y, linear, m));
    return constant + best;
  }

 private:
  struct Face {
    double origin[2];
    double basis[2][2];  // columns
    int dims;
    const CountEntry* entry;
  };
  static std::vector<Face> faces(const CountEntry& e) {
    std::vector<Face> out;
    const int n = e.cornerCount;
    for (int i = 0; i < n; ++i) {
      const double* p = e.corners[i].d;
      const double* q = e.corners[(i + 1) % n].d;
      out.push_back({{p[0], p[1]}, {{0, 0}, {0, 0}}, 0, &e});
      out.push_back({{p[0], p[1]}, {{q[0] - p[0], q[1] - p[1]}, {0, 0}}, 1, &e});
    }
    if (!e.flat) out.push_back({{0, 0}, {{1, 0}, {0, 1}}, 2, &e});
    return out;
  }
  static bool inside(const Face& f, const double* z) {
    if (f.dims == 0) return true;
    if (f.dims == 1) return z[0] >= -1e-12 && z[0] <= 1 + 1e-12;
    const CountEntry& e = *f.entry;
    bool left = true, right = true;
    for (int i = 0; i < e.cornerCount; ++i) {
      const double* p = e.corners[i].d;
      const double* q = e.corners[(i + 1) % e.cornerCount].d;
      const double cross = (q[0] - p[0]) * (z[1] - p[1]) - (q[1] - p[1]) * (z[0] - p[0]);
      left = left && cross >= -1e-13;
      right = right && cross <= 1e-13;
    }
    return left || right;
  }
  double onFaces(const Face& x, const Face& y, const double* linear, const double (*m)[4]) const {
    // y = y0 + B z over the four bending parameters.
    double y0[4] = {x.origin[0], x.origin[1], y.origin[0], y.origin[1]};
    double basis[4][4] = {};
    int k = 0;
    for (int c = 0; c < x.dims; ++c, ++k) {
      basis[0][k] = x.basis[c][0];
      basis[1][k] = x.basis[c][1];
    }
    for (int c = 0; c < y.dims; ++c, ++k) {
      basis[2][k] = y.basis[c][0];
      basis[3][k] = y.basis[c][1];
    }
    double grad[4];
    double value = 0;
    for (int i = 0; i < 4; ++i) {
      double my = 0;
      for (int j = 0; j < 4; ++j) my += m[i][j] * y0[j];
      grad[i] = linear[i] + my;
      value += y0[i] * (linear[i] + 0.5 * my);
    }
    if (k == 0) return value;
    double r[4] = {}, mr[4][4] = {};
    for (int a = 0; a < k; ++a) {
      for (int i = 0; i < 4; ++i) r[a] += basis[i][a] * grad[i];
      for (int b = 0; b < k; ++b)
        for (int i = 0; i < 4; ++i)
          for (int j = 0; j < 4; ++j) mr[a][b] += basis[i][a] * m[i][j] * basis[j][b];
    }
    // Cholesky of -mr: negative definite or skipped.
    double l[4][4] = {};
    for (int a = 0; a < k; ++a)
      for (int b = 0; b <= a; ++b) {
        double sum = -mr[a][b];
        for (int c = 0; c < b; ++c) sum -= l[a][c] * l[b][c];
        if (a == b) {
          if (!(sum > 1e-300)) return kMinusInfinity;
          l[a][a] = std::sqrt(sum);
        } else {
          l[a][b] = sum / l[b][b];
        }
      }
    // -mr z = r: L L^T z = r.
    double w[4], z[4];
    for (int a = 0; a < k; ++a) {
      double sum = r[a];
      for (int c = 0; c < a; ++c) sum -= l[a][c] * w[c];
      w[a] = sum / l[a][a];
    }
    for (int a = k - 1; a >= 0; --a) {
      double sum = w[a];
      for (int c = a + 1; c < k; ++c) sum -= l[c][a] * z[c];
      z[a] = sum / l[a][a];
    }
    const double* zs = z;
    const double* zt = z + x.dims;
    if (!inside(x, zs) || !inside(y, zt)) return kMinusInfinity;
    double gain = 0;
    for (int a = 0; a < k; ++a) gain += 0.5 * r[a] * z[a];
    return value + gain;
  }

  const double (*h_)[8];
};

struct Sample {
  PanelDesign design;
  int depth;
  double weight;
};

struct Measure {
  int nodes = 0;
  double overRelaxation = 0, relaxationOver = 0, looseAtOrigin = 0, looseAtReference = 0;
  double gap = 0, skinOwn = 0, stiffenerOwn = 0, apart = 0, coupling = 0, above = 0;
  int skinCounts = 0, stiffenerCounts = 0, cutByRelaxation = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::cerr << "usage: kelm_tree_gap OPTIONS SKIN_TOTAL STIFFENER_TOTAL RSFILE DIVES "
                 "[SAMPLES_PER_BAND [SEED]]\n";
    return 2;
  }
  const int dives = std::stoi(argv[5]);
  const int perBand = argc > 6 ? std::stoi(argv[6]) : 4;
  CRand random(argc > 7 ? std::stoul(argv[7]) : 11);
  const std::vector<std::string> args(argv + 1, argv + 5);
  PreparedRun run;
  std::istringstream noInput;
  prepareRun(run, Program::Alt, args, noInput, std::cout);
  const int ns = run.options.skinPlyTotal, nt = run.options.stiffenerPlyTotal;
  FullObjective f;
  f.setFullObjective(run.model);

  // The first best value of the tight search (the optimum on the cases measured).
  PanelDesign optimum;
  {
    SimultaneousSearch search(run.model, run.skinRules, run.stiffenerRules, 1, true);
    search.setStepLimit(1);
    const Silenced quiet;
    search.run(ns, nt);
    optimum = search.results().front();
  }
  const double best = optimum.value;
  CountCoupledBound tight;
  tight.setModel(run.model, ns, nt, run.skinRules, run.stiffenerRules, nullptr,
                 OpenCountTable::kBoundedStretch, 2);
  SymmetricSurface surface;
  {
    SurfaceBlocks blocks;
    blocks.copyFrom(run.model);
    surface.copyFrom(blocks);
  }
  const PairRelaxation pairs(surface);
  LaminateCountScan scans[2];
  const int totals[2] = {ns, nt};
  const LaminateRules* rules[2] = {&run.skinRules, &run.stiffenerRules};
  std::vector<Mathmx> blockCopies;
  blockCopies.reserve(6);
  for (int l = 0; l < 2; ++l) {
    blockCopies.push_back(surface.block(2 * l, 2 * l));
    blockCopies.push_back(surface.block(2 * l, 2 * l + 1));
    blockCopies.push_back(surface.block(2 * l + 1, 2 * l + 1));
    scans[l].setModel(totals[l], {blockCopies[3 * l], blockCopies[3 * l + 1], blockCopies[3 * l + 2]},
                      *rules[l]);
  }
  JointBoundModel joint;
  joint.setJointBoundModel(run.model);
  joint.takeEdgesAlongTheEdges();
  const PlyOrder order(ns, nt);
  const int hs = halfPositions(ns), ht = halfPositions(nt);
  const int depths = hs + ht;
  std::vector<double> expanded(depths + 1, 0.0), steps(depths + 1, 0.0);
  std::vector<std::vector<Sample>> byDepth(depths + 1);
  std::vector<double> keptSeconds(depths + 1), cutSeconds(depths + 1), keptCount(depths + 1),
      cutCount(depths + 1), hintReaches(depths + 1), hintKept(depths + 1);

  for (int dive = 0; dive < dives; ++dive) {
    OpenDesign node;
    node.design.skin.setPlyTotal(ns);
    node.design.stiffener.setPlyTotal(nt);
    node.skinActive = order.rootExtendsSkin();
    double weight = 1.0;
    while (true) {
      const int ks = node.design.skin.setCount(), kt = node.design.stiffener.setCount();
      const int depth = ks + kt;
      expanded[depth] += weight;
      if (byDepth[depth].size() < 64 || random.next() % 8 == 0) {
        if (byDepth[depth].size() >= 64) byDepth[depth][random.next() % 64] = {node.design, depth, weight};
        else byDepth[depth].push_back({node.design, depth, weight});
      }
      joint.setJointBoundTerms(node);
      std::vector<OpenDesign> open;
      int checked = 0;
      for (int code = 0; code < 3; ++code) {
        OpenDesign child = node;
        child.active().setTheta((node.skinActive ? ks : kt) + 1, code);
        if (!checkPartial(child.design.skin, run.skinRules) ||
            !checkPartial(child.design.stiffener, run.stiffenerRules))
          continue;
        ++checked;
        if (child.design.skin.setCount() == hs - 2 && child.design.stiffener.setCount() == ht - 2)
          continue;  // completed, not expanded
        child.bound = joint.evaluateJointBound(child);
        if (!canReach(child.bound, best)) continue;
        const auto t0 = std::chrono::steady_clock::now();
        child.bound = std::min(child.bound, tight.evaluate(child.design, best));
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const bool kept = canReach(child.bound, best);
        (kept ? keptSeconds : cutSeconds)[depth] += weight * took;
        (kept ? keptCount : cutCount)[depth] += weight;
        if (kept) {
          // Whether the pair of counts of the incumbent's totals reaches the best value.
          const CountEntry* hint[2] = {nullptr, nullptr};
          const StackingSequence* seqs[2] = {&child.design.skin, &child.design.stiffener};
          const StackingSequence* inc[2] = {&optimum.skin, &optimum.stiffener};
          for (int l = 0; l < 2; ++l) {
            int want[3] = {0, 0, 0};
            for (int p = 1; p <= inc[l]->plyCount(); ++p) ++want[inc[l]->codeAt(p) == 3 ? 1 : inc[l]->codeAt(p)];
            for (int p = 1; p <= seqs[l]->setCount(); ++p) --want[seqs[l]->codeAt(p) == 3 ? 1 : seqs[l]->codeAt(p)];
            for (const auto* c : tight.kept(l))
              if (c->entry->count[0] == want[0] && c->entry->count[1] == want[1] && c->entry->count[2] == want[2]) hint[l] = c->entry;
          }
          double gg[8], xx[8];
          for (int i = 0; i < 4; ++i) {
            xx[i] = child.design.skin.parameters()[i];
            xx[4 + i] = child.design.stiffener.parameters()[i];
          }
          for (int i = 0; i < 8; ++i) {
            gg[i] = surface.linear[i];
            for (int j = 0; j < 8; ++j) gg[i] += surface.hessian[i][j] * xx[j];
          }
          const bool reaches = hint[0] && hint[1] &&
              canReach(valueAt(f, child.design.skin, child.design.stiffener) + pairs.maximum(*hint[0], *hint[1], gg) + tight.margin(), best);
          hintReaches[depth] += weight * reaches;
          hintKept[depth] += weight * (hint[0] && hint[1]);
        }
        if (!kept) continue;
        child.skinActive = order.childrenExtendSkin(ks, kt, node.skinActive);
        open.push_back(child);
      }
      steps[depth] += weight * checked;
      if (open.empty()) break;
      weight *= static_cast<double>(open.size());
      node = open[random.next() % open.size()];
    }
  }
  double totalExpanded = 0, totalSteps = 0;
  for (int d = 0; d <= depths; ++d) {
    expanded[d] /= dives;
    steps[d] /= dives;
    totalExpanded += expanded[d];
    totalSteps += steps[d];
  }
  std::printf("%s %d/%d, best %.10f, %d dives: about %.3g designs expanded, %.3g steps\n", argv[1],
              ns, nt, best, dives, totalExpanded, totalSteps);
  // Bands of depth (set positions of both laminates), each with its share of the steps.
  const int band = std::max(1, depths / 16);
  std::printf("| set positions | open a laminate | expanded | share of steps | children kept / cut by the count bound | ms a kept / cut child | kept children whose incumbent's counts are kept / reach |\n|---|---|---|---|---|---|---|\n");
  for (int from = 0; from <= depths; from += band) {
    double e = 0, s = 0, ks = 0, cs = 0, kc = 0, cc = 0, hk = 0, hr = 0;
    for (int d = from; d < std::min(depths + 1, from + band); ++d) {
      e += expanded[d];
      s += steps[d];
      ks += keptSeconds[d];
      cs += cutSeconds[d];
      kc += keptCount[d];
      cc += cutCount[d];
      hk += hintKept[d];
      hr += hintReaches[d];
    }
    std::printf("| %d-%d | %d-%d | %.3g | %.1f %% | %.3g / %.3g | %.3f / %.3f | %.0f %% / %.0f %% |\n", from,
                std::min(depths, from + band - 1), (depths - std::min(depths, from + band - 1)) / 2,
                (depths - from) / 2, e, 100.0 * s / totalSteps, kc / dives, cc / dives,
                kc > 0 ? 1e3 * ks / kc : 0.0, cc > 0 ? 1e3 * cs / cc : 0.0, kc > 0 ? 100 * hk / kc : 0.0,
                kc > 0 ? 100 * hr / kc : 0.0);
  }
  if (perBand == 0) return 0;

  std::printf("\nbound against the best completion found (means over the sampled designs; "
              "margin %.1e)\n",
              tight.margin());
  std::printf("| set positions | designs | bound over best | gap | bound over relaxation | relaxation over "
              "completion | cut by the relaxation | first bound over best, split at 0 / at the incumbent | skin own | stiffener own | apart | coupling | counts kept (skin, "
              "stiffener) |\n|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (int from = 0; from <= depths; from += band) {
    Measure m;
    std::vector<Sample> pool;
    for (int d = from; d < std::min(depths + 1, from + band); ++d)
      pool.insert(pool.end(), byDepth[d].begin(), byDepth[d].end());
    for (int i = 0; i < perBand && !pool.empty(); ++i) {
      const std::size_t pick = random.next() % pool.size();
      const PanelDesign node = pool[pick].design;
      pool.erase(pool.begin() + pick);
      tight.setFullPairScan(true);
      const double b = tight.evaluate(node, best);
      tight.setFullPairScan(false);
      const CountCoupledBound::Parts parts = tight.lastParts();
      const int keptSkin = static_cast<int>(tight.kept(0).size());
      const int keptStiffener = static_cast<int>(tight.kept(1).size());
      // The best completion: from the optimum's codes and from random ones, climbed together.
      Climbed skin{codesOf(node.skin), node.skin.setCount() + 1, ns, &run.skinRules, {}};
      Climbed stiffener{codesOf(node.stiffener), node.stiffener.setCount() + 1, nt,
                        &run.stiffenerRules, {}};
      double completion = kMinusInfinity;
      std::vector<int> bestSkin, bestStiffener;
      for (int start = 0; start < 2; ++start) {
        std::vector<int> hintS = codesOf(optimum.skin), hintT = codesOf(optimum.stiffener);
        if (start == 1) {
          for (int& c : hintS) c = random.next() % 3;
          for (int& c : hintT) c = random.next() % 3;
        }
        Climbed s = skin, t = stiffener;
        s.sequence = node.skin;
        t.sequence = node.stiffener;
        if (!fill(ns, s.codes, s.firstOpen, hintS, run.skinRules, s.sequence) ||
            !fill(nt, t.codes, t.firstOpen, hintT, run.stiffenerRules, t.sequence))
          continue;
        const double v = climb({&s, &t}, [&] { return valueAt(f, s.sequence, t.sequence); },
                               random, 3000000);
        if (v > completion) {
          completion = v;
          bestSkin = s.codes;
          bestStiffener = t.codes;
        }
      }
      if (completion == kMinusInfinity) continue;
      const StackingSequence cs = built(ns, bestSkin, hs), ct = built(nt, bestStiffener, ht);
      const double base = valueAt(f, node.skin, node.stiffener);
      // The relaxation's exact maximum over the pairs of kept counts, from the completion's
      // value (the relaxation holds it), each pair tried only where a bound of it passes.
      double g[8], x[8];
      for (int i = 0; i < 4; ++i) {
        x[i] = node.skin.parameters()[i];
        x[4 + i] = node.stiffener.parameters()[i];
      }
      for (int i = 0; i < 8; ++i) {
        g[i] = surface.linear[i];
        for (int j = 0; j < 8; ++j) g[i] += surface.hessian[i][j] * x[j];
      }
      double relaxation = completion - base;
      for (const auto* cs : tight.kept(0))
        for (const auto* ct : tight.kept(1)) {
          const CountEntry& es = *cs->entry;
          const CountEntry& et = *ct->entry;
          const double lowS[4] = {es.inPlane[0], es.inPlane[1], es.bendingLow[0], es.bendingLow[1]};
          const double highS[4] = {es.inPlane[0], es.inPlane[1], es.bendingHigh[0], es.bendingHigh[1]};
          const double lowT[4] = {et.inPlane[0], et.inPlane[1], et.bendingLow[0], et.bendingLow[1]};
          const double highT[4] = {et.inPlane[0], et.inPlane[1], et.bendingHigh[0], et.bendingHigh[1]};
          double upper = cs->value + ct->value;
          for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
              const double h = surface.hessian[i][4 + j];
              upper += std::max(std::max(h * lowS[i] * lowT[j], h * lowS[i] * highT[j]),
                                std::max(h * highS[i] * lowT[j], h * highS[i] * highT[j]));
            }
          if (!(upper > relaxation)) continue;
          relaxation = std::max(relaxation, pairs.maximum(es, et, g));
        }
      m.overRelaxation += b - tight.margin() - base - relaxation;
      // The first, loosest bound (own parts apart, coupling over the boxes of every count)
      // with the coupling split at the origin, as the bound splits it, and at a reference
      // increment: the incumbent's parameters less the design's.
      auto loose = [&](const double* refS, const double* refT) {
        double gs[4], gt[4], cross = 0;
        for (int i = 0; i < 4; ++i) {
          gs[i] = g[i];
          gt[i] = g[4 + i];
          for (int j = 0; j < 4; ++j) {
            gs[i] += surface.hessian[i][4 + j] * refT[j];
            gt[i] += surface.hessian[j][4 + i] * refS[j];
            cross += refS[i] * surface.hessian[i][4 + j] * refT[j];
          }
        }
        scans[0].scan(node.skin, gs);
        scans[1].scan(node.stiffener, gt);
        const auto& bs = scans[0].box();
        const auto& bt = scans[1].box();
        double residual = 0;
        for (int i = 0; i < 4; ++i)
          for (int j = 0; j < 4; ++j) {
            const double h = surface.hessian[i][4 + j];
            const double u0 = bs.low[i] - refS[i], u1 = bs.high[i] - refS[i];
            const double v0 = bt.low[j] - refT[j], v1 = bt.high[j] - refT[j];
            residual += std::max(std::max(h * u0 * v0, h * u0 * v1), std::max(h * u1 * v0, h * u1 * v1));
          }
        return base + scans[0].best() + scans[1].best() - cross + residual + tight.margin() - best;
      };
      const double zero[4] = {0, 0, 0, 0};
      double refS[4], refT[4];
      for (int i = 0; i < 4; ++i) {
        refS[i] = optimum.skin.parameters()[i] - node.skin.parameters()[i];
        refT[i] = optimum.stiffener.parameters()[i] - node.stiffener.parameters()[i];
      }
      m.looseAtOrigin += loose(zero, zero);
      m.looseAtReference += loose(refS, refT);
      if (!canReach(base + relaxation + tight.margin(), best)) ++m.cutByRelaxation;
      if (std::getenv("KELM_TREE_GAP_NODES"))
        std::printf("  node %d+%d set: bound %+.3e, relaxation %+.3e, completion %+.3e over best\n",
                    node.skin.setCount(), node.stiffener.setCount(), b - best,
                    base + relaxation + tight.margin() - best, completion - best);
      m.relaxationOver += base + relaxation - completion;
      const double ownS = valueAt(f, cs, node.stiffener) - base;
      const double ownT = valueAt(f, node.skin, ct) - base;
      // Each laminate's own part alone, climbed from its part of the best completion.
      Climbed s{bestSkin, skin.firstOpen, ns, &run.skinRules, cs};
      const double exactS =
          climb({&s}, [&] { return valueAt(f, s.sequence, node.stiffener); }, random, 3000000) -
          base;
      Climbed t{bestStiffener, stiffener.firstOpen, nt, &run.stiffenerRules, ct};
      const double exactT =
          climb({&t}, [&] { return valueAt(f, node.skin, t.sequence); }, random, 3000000) - base;
      ++m.nodes;
      m.above += b - best;
      m.gap += b - completion;
      m.skinOwn += parts.skinOwn - exactS;
      m.stiffenerOwn += parts.stiffenerOwn - exactT;
      m.apart += exactS + exactT - ownS - ownT;
      m.coupling += (b - tight.margin() - parts.value - parts.skinOwn - parts.stiffenerOwn) -
                    (completion - base - ownS - ownT);
      m.skinCounts += keptSkin;
      m.stiffenerCounts += keptStiffener;
      std::fflush(stdout);
    }
    if (m.nodes == 0) continue;
    const double k = m.nodes;
    std::printf("| %d-%d | %d | %.2e | %.2e | %.2e | %.2e | %d | %.2e / %.2e | %.2e | %.2e | %.2e | %.2e | %.0f, %.0f |\n", from,
                std::min(depths, from + band - 1), m.nodes, m.above / k, m.gap / k,
                m.overRelaxation / k, m.relaxationOver / k, m.cutByRelaxation, m.looseAtOrigin / k,
                m.looseAtReference / k, m.skinOwn / k,
                m.stiffenerOwn / k, m.apart / k, m.coupling / k, m.skinCounts / k,
                m.stiffenerCounts / k);
    std::fflush(stdout);
  }
  return 0;
}
