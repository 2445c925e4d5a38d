#include "alt/count_coupled_bound.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "laminate/guideline_rules.h"
#include "laminate/ply_arrangement.h"
#include "search/search_constants.h"
#include "search/surface_blocks.h"

namespace kelm {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// Relative to the largest value the surface can take over the parameter box: far above the
// rounding of any bound (about 1e-15 of it), far below any gap the pruning can use.
constexpr double kRelativeMargin = 1e-12;

// The 2 x 2 block of the symmetric Hessian for groups (row, column).
Mathmx blockOf(const double (&h)[8][8], int row, int column) {
  Mathmx block;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) block.ref(i + 1, j + 1) = h[2 * row + i][2 * column + j];
  return block;
}

// The largest of h * u * v over u in [uLow, uHigh] and v in [vLow, vHigh]: at a corner.
double productMax(double h, double uLow, double uHigh, double vLow, double vHigh) {
  const double a = h * uLow;
  const double b = h * uHigh;
  return std::max(std::max(a * vLow, a * vHigh), std::max(b * vLow, b * vHigh));
}

}  // namespace

void CountCoupledBound::setModel(const ResponseSurface& model, int skinPlyTotal,
                                 int stiffenerPlyTotal, const LaminateRules& skinRules,
                                 const LaminateRules& stiffenerRules) {
  SurfaceBlocks blocks;
  blocks.copyFrom(model);
  double raw[kParameters][kParameters];
  for (int g = 0; g < kGroups; ++g)
    for (int h = 0; h < kGroups; ++h)
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) raw[2 * g + i][2 * h + j] = blocks.hessian[g][h](i + 1, j + 1);
  // Only the symmetric part of the Hessian shapes the quadratic; the gradient needs it alone.
  double scale = std::fabs(blocks.constant);
  for (int i = 0; i < kParameters; ++i) {
    linear_[i] = blocks.linear[i / 2].data()[i % 2];
    scale += std::fabs(linear_[i]);
    for (int j = 0; j < kParameters; ++j) {
      hessian_[i][j] = 0.5 * (raw[i][j] + raw[j][i]);
      scale += 0.5 * std::fabs(hessian_[i][j]);
    }
  }
  constant_ = blocks.constant;
  margin_ = kRelativeMargin * std::max(1.0, scale);
  const int totals[kLaminates] = {skinPlyTotal, stiffenerPlyTotal};
  rules_[0] = &skinRules;
  rules_[1] = &stiffenerRules;
  for (int l = 0; l < kLaminates; ++l) {
    const int group = 2 * l;
    const Mathmx inPlane = blockOf(hessian_, group, group);
    const Mathmx coupling = blockOf(hessian_, group, group + 1);
    const Mathmx bending = blockOf(hessian_, group + 1, group + 1);
    tables_[l].build(totals[l], {inPlane, coupling, bending});
    bending_[l].set(bending);
    candidates_[l].assign(tables_[l].largestGroup(), Candidate{nullptr, 0.0, false});
    StackingSequence empty;
    empty.setPlyTotal(totals[l]);
    const double share = rules_[l]->minSharePercent;
    pliesNeeded_[l] = share > 0.0 ? pliesNeeded(empty, share) : 0;
    markArrangeable(l);
  }
}

// The open positions of a completion are a stretch of the whole half that ends at its innermost
// position: its runs are parts of the laminate's runs, its innermost run part of the innermost
// one, and it has no cross-ply jump where the laminate has none. So its codes must be
// arrangeable under the same limits (a stretch of fewer than three positions is not judged,
// which only admits more); the outermost position belongs to it only when nothing is set.
void CountCoupledBound::markArrangeable(int laminate) {
  const LaminateRules& rules = *rules_[laminate];
  const OpenCountTable& table = tables_[laminate];
  arrangeable_[laminate].clear();
  for (int k = 0; k <= table.positions(); ++k) {
    const Arrangement arrangement{rules.runLimit(), rules.noCrossPlyJump, rules.outer45 && k == 0};
    for (const CountEntry* e = table.begin(k); e != table.end(k); ++e) {
      const bool open = e->codeCount(0) + e->codeCount(1) + e->codeCount(2) > 0;
      arrangeable_[laminate].push_back(
          !open || arrangementAllows(e->codeCount(0), e->codeCount(1), e->codeCount(2),
                                     arrangement, e->midCode));
    }
  }
}

void CountCoupledBound::setObjectiveAt(const PanelDesign& design) {
  double x[kParameters];
  std::copy_n(design.skin.parameters(), 4, x);
  std::copy_n(design.stiffener.parameters(), 4, x + 4);
  double value = constant_;
  for (int i = 0; i < kParameters; ++i) {
    double hx = 0.0;
    for (int j = 0; j < kParameters; ++j) hx += hessian_[i][j] * x[j];
    gradient_[i] = linear_[i] + hx;
    value += x[i] * (linear_[i] + 0.5 * hx);
  }
  value_ = value;
}

void CountCoupledBound::countSetCodes(int laminate, const StackingSequence& sequence) {
  int* counts = setCodes_[laminate];
  counts[0] = counts[1] = counts[2] = 0;
  for (int p = 1; p <= sequence.setCount(); ++p) {
    const int code = sequence.codeAt(p);
    ++counts[code == kCodeMinus45 ? kCode45 : code];
  }
}

// The rules a completion with the entry's counts must meet, decided on the counts alone. Only
// laminates with open positions are scanned, so the set positions are all ordinary ones.
bool CountCoupledBound::allowed(int laminate, const StackingSequence& sequence,
                                const CountEntry& entry) const {
  if (sequence.complete()) return true;
  const LaminateRules& rules = *rules_[laminate];
  if (!arrangeable_[laminate][&entry - tables_[laminate].begin(0)]) return false;
  const int* set = setCodes_[laminate];
  if (rules.plyNumbersFixed && (entry.codeCount(0) != rules.ply0 - set[0] ||
                                entry.codeCount(1) != rules.ply45 - set[1]))
    return false;
  if (rules.balance && (entry.midCode == 1 || (set[1] + entry.count[1]) % 2 != 0)) return false;
  if (pliesNeeded_[laminate] > 0) {
    for (int code = 0; code < 3; ++code) {
      const int plies = 2 * (set[code] + entry.count[code]) + (entry.midCode == code ? 1 : 0);
      if (plies < pliesNeeded_[laminate]) return false;
    }
  }
  return true;
}

// A laminate's own part for one count: exact over the hexagon, or bounded over the box of its
// corners (a few operations instead of the hexagon's dozens).
double CountCoupledBound::ownPart(int laminate, const CountEntry& e, bool exact) const {
  const double* gIn = gradient_ + 4 * laminate;
  const double* gBend = gIn + 2;
  const double h[2] = {gBend[0] + e.inPlaneIntoBending[0], gBend[1] + e.inPlaneIntoBending[1]};
  const double inPlane = (gIn[0] * e.inPlane[0] + gIn[1] * e.inPlane[1]) + e.inPlaneCurvature;
  if (exact) return inPlane + bending_[laminate].maxOverHexagon(e, h);
  const double linear = std::max(h[0] * e.bendingLow[0], h[0] * e.bendingHigh[0]) +
                        std::max(h[1] * e.bendingLow[1], h[1] * e.bendingHigh[1]);
  return inPlane + (linear + e.curvatureBound);
}

namespace {

void widenBox(const CountEntry& e, double* low, double* high) {
  for (int c = 0; c < 2; ++c) {
    low[c] = std::min(low[c], e.inPlane[c]);
    high[c] = std::max(high[c], e.inPlane[c]);
    low[2 + c] = std::min(low[2 + c], e.bendingLow[c]);
    high[2 + c] = std::max(high[2 + c], e.bendingHigh[c]);
  }
}

void emptyBox(double* low, double* high) {
  std::fill_n(low, 4, std::numeric_limits<double>::infinity());
  std::fill_n(high, 4, kMinusInfinity);
}

}  // namespace

// A count whose cheap bound cannot pass the largest exact part so far keeps that bound: it
// cannot be the largest, and the boxes make it exact only where it matters.
bool CountCoupledBound::scanLaminate(int laminate, const StackingSequence& sequence, Scan& scan) {
  countSetCodes(laminate, sequence);
  const OpenCountTable& table = tables_[laminate];
  Candidate* candidates = candidates_[laminate].data();
  int count = 0;
  scan.best = kMinusInfinity;
  emptyBox(scan.low, scan.high);
  const CountEntry* last = table.end(sequence.setCount());
  for (const CountEntry* e = table.begin(sequence.setCount()); e != last; ++e) {
    if (!allowed(laminate, sequence, *e)) continue;
    widenBox(*e, scan.low, scan.high);
    const double bound = ownPart(laminate, *e, false);
    if (bound <= scan.best) {
      candidates[count++] = {e, bound, false};
      continue;
    }
    const double own = ownPart(laminate, *e, true);
    candidates[count++] = {e, own, true};
    scan.best = std::max(scan.best, own);
  }
  candidateCount_[laminate] = count;
  return count > 0;
}

void CountCoupledBound::boxAbove(int laminate, double threshold, Scan& scan) {
  emptyBox(scan.low, scan.high);
  Candidate* candidates = candidates_[laminate].data();
  for (int i = 0; i < candidateCount_[laminate]; ++i) {
    Candidate& c = candidates[i];
    if (!(c.value >= threshold)) continue;
    if (!c.exact) {
      c.value = ownPart(laminate, *c.entry, true);
      c.exact = true;
      if (!(c.value >= threshold)) continue;
    }
    widenBox(*c.entry, scan.low, scan.high);
  }
}

double CountCoupledBound::couplingBound(const Scan& skin, const Scan& stiffener) const {
  double total = 0.0;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      total += productMax(hessian_[i][4 + j], skin.low[i], skin.high[i], stiffener.low[j],
                          stiffener.high[j]);
  return total;
}

// First with the boxes of every allowed count, then with those of the counts whose own part can
// still reach the best value when everything else takes its largest share.
double CountCoupledBound::evaluate(const PanelDesign& design, double best) {
  setObjectiveAt(design);
  Scan skin, stiffener;
  if (!scanLaminate(0, design.skin, skin) || !scanLaminate(1, design.stiffener, stiffener))
    return kMinusInfinity;
  const double shared = value_ + couplingBound(skin, stiffener) + margin_;
  const double loose = shared + skin.best + stiffener.best;
  const double needed = best - kTieTolerance;
  if (loose < needed) return loose;
  boxAbove(0, needed - (shared + stiffener.best), skin);
  boxAbove(1, needed - (shared + skin.best), stiffener);
  return value_ + couplingBound(skin, stiffener) + margin_ + skin.best + stiffener.best;
}

}  // namespace kelm
