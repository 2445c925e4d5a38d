#include "alt/count_coupled_bound.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <thread>

#include "laminate/angle_code.h"
#include "search/search_constants.h"
#include "search/surface_blocks.h"

namespace kelm {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// The largest of h * u * v over u in [uLow, uHigh] and v in [vLow, vHigh]: at a corner.
double productMax(double h, double uLow, double uHigh, double vLow, double vHigh) {
  const double a = h * uLow;
  const double b = h * uHigh;
  return std::max(std::max(a * vLow, a * vHigh), std::max(b * vLow, b * vHigh));
}

// A plane h (q u + p v - p q) at or above h u v over the box [uLow, uHigh] x [vLow, vHigh]:
// (p, q) a corner of the box's right diagonal, opposite corners when h > 0, the low or the high
// corner when h < 0. Its excess over h u v is -h (u - p)(v - q); of the two, the plane with the
// smaller excess at (u, v).
struct BoundingPlane {
  double alongU;
  double alongV;
  double constant;
};
BoundingPlane boundingPlane(double h, double uLow, double uHigh, double vLow, double vHigh,
                            double u, double v) {
  double p = uLow;
  double q = h >= 0.0 ? vHigh : vLow;
  const double otherP = uHigh;
  const double otherQ = h >= 0.0 ? vLow : vHigh;
  if (-h * ((u - otherP) * (v - otherQ)) < -h * ((u - p) * (v - q))) {
    p = otherP;
    q = otherQ;
  }
  return {h * q, h * p, -(h * (p * q))};
}

}  // namespace

void CountCoupledBound::setModel(const ResponseSurface& model, int skinPlyTotal,
                                 int stiffenerPlyTotal, const LaminateRules& skinRules,
                                 const LaminateRules& stiffenerRules, const StopRequest* stop,
                                 int boundedStretch, int threads) {
  SurfaceBlocks blocks;
  blocks.copyFrom(model);
  surface_.copyFrom(blocks);
  const int totals[kLaminates] = {skinPlyTotal, stiffenerPlyTotal};
  const LaminateRules* rules[kLaminates] = {&skinRules, &stiffenerRules};
  auto build = [&](int l) {
    const int group = 2 * l;
    const Mathmx inPlane = surface_.block(group, group);
    const Mathmx coupling = surface_.block(group, group + 1);
    const Mathmx bending = surface_.block(group + 1, group + 1);
    scans_[l].setModel(totals[l], {inPlane, coupling, bending}, *rules[l], stop, boundedStretch);
  };
  if (threads < 2) {
    for (int l = 0; l < kLaminates; ++l) build(l);
    return;
  }
  // The tables of thick laminates take a second or more each, while the other threads of the
  // search have nothing to do yet.
  std::exception_ptr failure;
  std::thread stiffener([&] {
    try {
      build(1);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  try {
    build(0);
  } catch (...) {
    stiffener.join();
    throw;
  }
  stiffener.join();
  if (failure) std::rethrow_exception(failure);
}

void CountCoupledBound::setObjectiveAt(const PanelDesign& design) {
  double x[kParameters];
  std::copy_n(design.skin.parameters(), 4, x);
  std::copy_n(design.stiffener.parameters(), 4, x + 4);
  double value = surface_.constant;
  for (int i = 0; i < kParameters; ++i) {
    double hx = 0.0;
    for (int j = 0; j < kParameters; ++j) hx += surface_.hessian[i][j] * x[j];
    gradient_[i] = surface_.linear[i] + hx;
    value += x[i] * (surface_.linear[i] + 0.5 * hx);
  }
  value_ = value;
}

double CountCoupledBound::couplingBound() const {
  return boxesCoupling(scans_[0].box(), scans_[1].box());
}

double CountCoupledBound::boxesCoupling(const LaminateCountScan::Box& skin,
                                        const LaminateCountScan::Box& stiffener) const {
  const auto& hessian = surface_.hessian;
  double total = 0.0;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      total += productMax(hessian[i][4 + j], skin.low[i], skin.high[i], stiffener.low[j],
                          stiffener.high[j]);
  return total;
}

// First with the boxes of every allowed count, then with those of the counts whose own part can
// still reach the best value when everything else takes its largest share.
double CountCoupledBound::evaluate(const PanelDesign& design, double best) {
  setObjectiveAt(design);
  LaminateCountScan& skin = scans_[0];
  LaminateCountScan& stiffener = scans_[1];
  if (!skin.scan(design.skin, gradient_) || !stiffener.scan(design.stiffener, gradient_ + 4))
    return kMinusInfinity;
  midOpen_[0] = design.skin.midPly() && !design.skin.complete();
  midOpen_[1] = design.stiffener.midPly() && !design.stiffener.complete();
  const double shared = value_ + couplingBound() + surface_.margin;
  const double loose = shared + skin.best() + stiffener.best();
  const double needed = best - kTieTolerance;
  if (loose < needed) return loose;
  skin.boxAbove(needed - (shared + stiffener.best()));
  stiffener.boxAbove(needed - (shared + skin.best()));
  return boundOfKept(needed, skin.best(), stiffener.best(), hasPreferred_);
}

void CountCoupledBound::preferTotalsOf(const PanelDesign& design) {
  const StackingSequence* laminates[kLaminates] = {&design.skin, &design.stiffener};
  for (int l = 0; l < kLaminates; ++l) {
    const StackingSequence& laminate = *laminates[l];
    PreferredTotals& totals = preferred_[l];
    totals = PreferredTotals{};
    const int ordinary = laminate.midPly() ? laminate.plyCount() - 1 : laminate.plyCount();
    for (int p = 1; p <= ordinary; ++p) {
      const int code = laminate.codeAt(p);
      ++totals.codes[code == kCodeMinus45 ? kCode45 : code];
    }
    if (laminate.midPly() && laminate.plyCount() > 0)
      totals.midCode = laminate.codeAt(laminate.plyCount());
  }
  hasPreferred_ = true;
}

bool CountCoupledBound::preferredPairReaches(double needed) const {
  const LaminateCountScan::Candidate* counts[kLaminates];
  for (int l = 0; l < kLaminates; ++l) {
    // A laminate whose mid-plane ply is set keeps no mid-plane code open.
    const int midCode = midOpen_[l] ? preferred_[l].midCode : -1;
    counts[l] = scans_[l].keptWithTotals(preferred_[l].codes, midCode);
    if (counts[l] == nullptr) return false;
  }
  const double base = value_ + surface_.margin;
  return !(base + pairValue(*counts[0], *counts[1], needed - base) < needed);
}

// Each count with its own coupling to the other laminate's counts left: fewer to rank. `own`:
// each laminate's largest own part over the counts kept.
double CountCoupledBound::boundOfKept(double needed, double skinOwn, double stiffenerOwn,
                                      bool preferred) {
  const double own[kLaminates] = {skinOwn, stiffenerOwn};
  double dropped = kMinusInfinity;  // the largest bound of a count dropped
  for (int l = 0; l < kLaminates; ++l) {
    const double base = value_ + surface_.margin + own[1 - l];
    const bool anyLeft = scans_[l].keepAbove([&](const LaminateCountScan::Candidate& c) {
      const double upper = base + c.value + countCoupling(l, *c.entry);
      if (upper < needed) dropped = std::max(dropped, upper);
      return !(upper < needed);
    });
    if (!anyLeft) return dropped;
  }
  const double boxBound = value_ + couplingBound() + surface_.margin + own[0] + own[1];
  if (boxBound < needed) return boxBound;
  // Every pair is within the boxes' bound; one that reaches keeps the design open.
  if (preferred && !fullPairScan_ && preferredPairReaches(needed)) return boxBound;
  return std::min(boxBound, pairBound(boxBound, needed));
}

double CountCoupledBound::narrowKept(double best) {
  const double needed = best - kTieTolerance;
  for (const LaminateCountScan& scan : scans_)
    if (scan.kept().empty()) return kMinusInfinity;
  return boundOfKept(needed, scans_[0].keptBest(), scans_[1].keptBest());
}

// Given both counts, both in-plane increments are exact: the in-plane coupling is a number and
// the in-plane/bending terms are linear in one bending increment. Only the bending/bending
// terms are relaxed. Three bounds, each tighter and dearer than the one before, the next taken
// only while the last still reaches `target`:
//   the own parts and the linear terms maximised apart, the bending terms over the polygons'
//   boxes;
//   each linear term maximised with its laminate's own part over the count's polygon;
//   and with each bending term u v replaced by the plane that bounds it over the boxes and is
//   exact at the box corner nearest the pair's maximisers without it.
double CountCoupledBound::pairValue(const LaminateCountScan::Candidate& skin,
                                    const LaminateCountScan::Candidate& stiffener,
                                    double target) const {
  const CountEntry& s = *skin.entry;
  const CountEntry& t = *stiffener.entry;
  const auto& hessian = surface_.hessian;
  const double* a = s.inPlane;
  const double* b = t.inPlane;
  double inPlane = 0.0;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) inPlane += hessian[i][4 + j] * (a[i] * b[j]);
  const double toStiffener[2] = {hessian[0][6] * a[0] + hessian[1][6] * a[1],
                                 hessian[0][7] * a[0] + hessian[1][7] * a[1]};
  const double toSkin[2] = {hessian[2][4] * b[0] + hessian[2][5] * b[1],
                            hessian[3][4] * b[0] + hessian[3][5] * b[1]};
  double boxTerms = 0.0;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      boxTerms += productMax(hessian[2 + i][6 + j], s.bendingLow[i], s.bendingHigh[i],
                             t.bendingLow[j], t.bendingHigh[j]);
  const double apart = (skin.value + stiffener.value) +
                       ((inPlane + boxTerms) + (cornerMax(t, toStiffener) + cornerMax(s, toSkin)));
  if (apart < target) return apart;
  double atSkin[2], atStiffener[2];
  const double boxed = (scans_[0].ownPartWith(s, toSkin, atSkin) +
                        scans_[1].ownPartWith(t, toStiffener, atStiffener)) +
                       (inPlane + boxTerms);
  if (boxed < target) return boxed;
  double skinPlane[2] = {toSkin[0], toSkin[1]};
  double stiffenerPlane[2] = {toStiffener[0], toStiffener[1]};
  double planeConstant = inPlane;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      const BoundingPlane plane =
          boundingPlane(hessian[2 + i][6 + j], s.bendingLow[i], s.bendingHigh[i],
                        t.bendingLow[j], t.bendingHigh[j], atSkin[i], atStiffener[j]);
      skinPlane[i] += plane.alongU;
      stiffenerPlane[j] += plane.alongV;
      planeConstant += plane.constant;
    }
  double unused[2];
  const double planed = (scans_[0].ownPartWith(s, skinPlane, unused) +
                         scans_[1].ownPartWith(t, stiffenerPlane, unused)) +
                        planeConstant;
  return std::min(boxed, planed);
}

// The coupling of one laminate's count with every count of the other laminate's box: the
// count's own increments (in-plane exact, bending over its box) against the box, term by term.
double CountCoupledBound::countCoupling(int laminate, const CountEntry& e) const {
  return countCouplingWith(laminate, e, scans_[1 - laminate].box());
}

double CountCoupledBound::countCouplingWith(int laminate, const CountEntry& e,
                                            const LaminateCountScan::Box& other) const {
  const auto& hessian = surface_.hessian;
  const double low[4] = {e.inPlane[0], e.inPlane[1], e.bendingLow[0], e.bendingLow[1]};
  const double high[4] = {e.inPlane[0], e.inPlane[1], e.bendingHigh[0], e.bendingHigh[1]};
  double total = 0.0;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      const double c = laminate == 0 ? hessian[i][4 + j] : hessian[j][4 + i];
      total += productMax(c, low[i], high[i], other.low[j], other.high[j]);
    }
  return total;
}

// Pairs in falling order of their own parts. A row (a skin count) ends as soon as no pair left
// in it can reach `needed` or pass the largest pair bound so far, by the coupling of its skin
// count with the stiffener box; the scan ends on the same test with the coupling of both boxes.
// Once a pair reaches `needed` the design stays open whatever its exact key, and the scan ends
// with a bound of every pair left: the box bound of the row in progress, the rows after it
// having smaller own parts.
double CountCoupledBound::pairBound(double boxBound, double needed) {
  const auto& skins = scans_[0].sortedAbove();
  const auto& stiffeners = scans_[1].sortedAbove();
  if (skins.empty() || stiffeners.empty()) return boxBound;
  if (!fullPairScan_ && stiffeners.size() >= fewestCountsInCells_)
    return pairBoundByCells(boxBound, needed);
  const double base = value_ + surface_.margin;
  const double boxCoupling = boxBound - base - skins.front()->value - stiffeners.front()->value;
  double largest = kMinusInfinity;
  const double topStiffener = stiffeners.front()->value;
  for (const auto* s : skins) {
    const double skinShare = base + s->value;
    const double rowUpper = skinShare + topStiffener + boxCoupling;
    if (!(rowUpper > largest) || rowUpper < needed) break;
    const double rowCoupling = std::min(boxCoupling, countCoupling(0, *s->entry));
    for (const auto* t : stiffeners) {
      const double upper = skinShare + t->value + rowCoupling;
      if (!(upper > largest) || upper < needed) break;
      largest = std::max(largest, base + pairValue(*s, *t, needed - base));
      if (largest >= needed && !fullPairScan_) return std::max(largest, rowUpper);
    }
  }
  return largest;
}

// The scan above, row by row, but each row reads the stiffener's cells in falling order of their
// largest own part and passes over a cell whose coupling with the row (the cells' coupling
// first, then the skin count's with the cell) leaves none of its pairs able to reach `needed`
// or the largest pair bound so far. The rows come in the same order and a cell passed over holds
// no pair that reaches, so a design is cut or kept open as by the scan above, with the same key
// (the row's bound) unless rounding lifts the first reaching pair's bound past it.
double CountCoupledBound::pairBoundByCells(double boxBound, double needed) {
  const auto& skins = scans_[0].sortedAbove();
  const auto& stiffeners = scans_[1].sortedAbove();
  cells_[0].group(skins);
  cells_[1].group(stiffeners);
  const CountCells& stiffenerCells = cells_[1];
  ++stamp_;
  const std::size_t cellPairs =
      static_cast<std::size_t>(cells_[0].cellCount()) * stiffenerCells.cellCount();
  if (cellStamps_.size() < cellPairs) {
    cellStamps_.resize(cellPairs, 0);
    cellCouplings_.resize(cellPairs);
  }
  const double base = value_ + surface_.margin;
  const double boxCoupling = boxBound - base - skins.front()->value - stiffeners.front()->value;
  double largest = kMinusInfinity;
  const double topStiffener = stiffeners.front()->value;
  auto passes = [&](double upper) { return upper > largest && !(upper < needed); };
  for (std::size_t rank = 0; rank < skins.size(); ++rank) {
    const auto* s = skins[rank];
    const double skinShare = base + s->value;
    const double rowUpper = skinShare + topStiffener + boxCoupling;
    if (!passes(rowUpper)) break;
    const double rowCoupling = std::min(boxCoupling, countCoupling(0, *s->entry));
    const int skinCell = cells_[0].cellOf(static_cast<int>(rank));
    for (int cell = 0; cell < stiffenerCells.cellCount(); ++cell) {
      const double cellTop = stiffenerCells.top(cell);
      if (!passes(skinShare + cellTop + rowCoupling)) break;
      double coupling = std::min(rowCoupling, cellPairCoupling(skinCell, cell));
      if (!passes(skinShare + cellTop + coupling)) continue;
      coupling = std::min(coupling, countCouplingWith(0, *s->entry, stiffenerCells.box(cell)));
      if (!passes(skinShare + cellTop + coupling)) continue;
      for (auto t = stiffenerCells.begin(cell); t != stiffenerCells.end(cell); ++t) {
        if (!passes(skinShare + (*t)->value + coupling)) break;
        largest = std::max(largest, base + pairValue(*s, **t, needed - base));
        if (largest >= needed) return std::max(largest, rowUpper);
      }
    }
  }
  return largest;
}

double CountCoupledBound::cellPairCoupling(int skinCell, int stiffenerCell) {
  const std::size_t at =
      static_cast<std::size_t>(skinCell) * cells_[1].cellCount() + stiffenerCell;
  if (cellStamps_[at] != stamp_) {
    cellStamps_[at] = stamp_;
    cellCouplings_[at] = boxesCoupling(cells_[0].box(skinCell), cells_[1].box(stiffenerCell));
  }
  return cellCouplings_[at];
}

}  // namespace kelm
