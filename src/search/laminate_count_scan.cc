#include "search/laminate_count_scan.h"

#include <algorithm>
#include <limits>

#include "laminate/guideline_rules.h"

namespace kelm {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

}  // namespace

void LaminateCountScan::Box::widen(const CountEntry& e) {
  for (int c = 0; c < 2; ++c) {
    low[c] = std::min(low[c], e.inPlane[c]);
    high[c] = std::max(high[c], e.inPlane[c]);
    low[2 + c] = std::min(low[2 + c], e.bendingLow[c]);
    high[2 + c] = std::max(high[2 + c], e.bendingHigh[c]);
  }
}

void LaminateCountScan::Box::clear() {
  std::fill_n(low, 4, std::numeric_limits<double>::infinity());
  std::fill_n(high, 4, kMinusInfinity);
}

void LaminateCountScan::setModel(int plyTotal, const LaminateBlocks& blocks,
                                 const LaminateRules& rules, const StopRequest* stop,
                                 int boundedStretch) {
  rules_ = &rules;
  auto table = std::make_shared<OpenCountTable>();
  table->build(plyTotal, blocks,
               Arrangement{rules.runLimit(), rules.noCrossPlyJump, rules.outer45}, stop,
               boundedStretch);
  table_ = std::move(table);
  bending_.set(blocks.bending);
  candidates_.assign(table_->largestGroup(), Candidate{nullptr, 0.0, false});
  above_.reserve(table_->largestGroup());
  StackingSequence empty;
  empty.setPlyTotal(plyTotal);
  const double share = rules.minSharePercent;
  pliesNeeded_ = share > 0.0 ? pliesNeeded(empty, share) : 0;
}

void LaminateCountScan::countSetCodes(const StackingSequence& sequence) {
  setCodes_[0] = setCodes_[1] = setCodes_[2] = 0;
  for (int p = 1; p <= sequence.setCount(); ++p) {
    const int code = sequence.codeAt(p);
    ++setCodes_[code == kCodeMinus45 ? kCode45 : code];
  }
}

// The rules a completion with the entry's counts must meet, decided on the counts alone. Only
// laminates with open positions are scanned, so the set positions are all ordinary ones.
bool LaminateCountScan::allowed(const StackingSequence& sequence, const CountEntry& entry) const {
  if (sequence.complete()) return true;
  const LaminateRules& rules = *rules_;
  if (!entry.reachable) return false;
  const int* set = setCodes_;
  if (rules.plyNumbersFixed && (entry.codeCount(0) != rules.ply0 - set[0] ||
                                entry.codeCount(1) != rules.ply45 - set[1]))
    return false;
  if (rules.balance && (entry.midCode == 1 || (set[1] + entry.count[1]) % 2 != 0)) return false;
  if (pliesNeeded_ > 0) {
    for (int code = 0; code < 3; ++code) {
      const int plies = 2 * (set[code] + entry.count[code]) + (entry.midCode == code ? 1 : 0);
      if (plies < pliesNeeded_) return false;
    }
  }
  return true;
}

// The own part for one count: exact over the hexagon, or bounded over the box of its corners
// with its linear part over the corners and its curvature over their box (a few operations
// instead of the hexagon's dozens).
double LaminateCountScan::ownPart(const CountEntry& e, bool exact) const {
  const double* gIn = gradient_;
  const double* gBend = gIn + 2;
  const double h[2] = {gBend[0] + e.inPlaneIntoBending[0], gBend[1] + e.inPlaneIntoBending[1]};
  const double inPlane = (gIn[0] * e.inPlane[0] + gIn[1] * e.inPlane[1]) + e.inPlaneCurvature;
  if (exact) return inPlane + bending_.maxOverHexagon(e, h);
  // The linear part is largest at a corner.
  return inPlane + (cornerMax(e, h) + e.curvatureBound);
}

double LaminateCountScan::ownPartWith(const CountEntry& e, const double extra[2],
                                      double at[2]) const {
  const double* gIn = gradient_;
  const double* gBend = gIn + 2;
  const double h[2] = {(gBend[0] + e.inPlaneIntoBending[0]) + extra[0],
                       (gBend[1] + e.inPlaneIntoBending[1]) + extra[1]};
  const double inPlane = (gIn[0] * e.inPlane[0] + gIn[1] * e.inPlane[1]) + e.inPlaneCurvature;
  return inPlane + bending_.maxOverHexagonAt(e, h, at);
}

void LaminateCountScan::makeExact(Candidate& c) const {
  if (c.exact) return;
  c.value = ownPart(*c.entry, true);
  c.exact = true;
}

bool LaminateCountScan::scan(const StackingSequence& sequence, const double* gradient) {
  return scanCounts(sequence, gradient, kMinusInfinity, true);
}

bool LaminateCountScan::scanLargest(const StackingSequence& sequence, const double* gradient,
                                    double floor) {
  return scanCounts(sequence, gradient, floor, false);
}

// Every allowed count gets its cheap bound first; the count with the largest one is made exact
// first, so that few others can still pass it and need the hexagon at all. A count whose cheap
// bound cannot pass the largest exact part keeps that bound: it cannot be the largest, and the
// boxes make it exact only where it matters. When no cheap bound reaches `floor`, the largest
// of them is the answer: an upper bound below the floor is all a pruning test needs.
bool LaminateCountScan::scanCounts(const StackingSequence& sequence, const double* gradient,
                                   double floor, bool withBox) {
  gradient_ = gradient;
  above_.clear();  // the counts kept belong to the design scanned last
  aboveSorted_ = false;
  countSetCodes(sequence);
  Candidate* candidates = candidates_.data();
  int count = 0;
  int top = 0;
  if (withBox) box_.clear();
  const int boundary = table_->boundaryOf(sequence);
  const CountEntry* last = table_->end(sequence.setCount(), boundary);
  group_ = table_->begin(sequence.setCount(), boundary);
  groupEnd_ = last;
  for (const CountEntry* e = group_; e != last; ++e) {
    if (!allowed(sequence, *e)) continue;
    if (withBox) box_.widen(*e);
    candidates[count] = {e, ownPart(*e, false), false};
    if (candidates[count].value > candidates[top].value) top = count;
    ++count;
  }
  candidateCount_ = count;
  best_ = kMinusInfinity;
  if (count == 0) return false;
  best_ = candidates[top].value;
  if (best_ < floor) return true;
  makeExact(candidates[top]);
  best_ = candidates[top].value;
  for (int i = 0; i < count; ++i) {
    if (!(candidates[i].value > best_)) continue;
    makeExact(candidates[i]);
    best_ = std::max(best_, candidates[i].value);
  }
  return true;
}

void LaminateCountScan::boxAbove(double threshold) {
  box_.clear();
  above_.clear();
  aboveSorted_ = false;
  for (int i = 0; i < candidateCount_; ++i) {
    Candidate& c = candidates_[i];
    if (!(c.value >= threshold)) continue;
    makeExact(c);
    if (!(c.value >= threshold)) continue;
    box_.widen(*c.entry);
    above_.push_back(&c);
  }
}

// A group's entries run over the mid-plane code, then n0, then n45 (see OpenCountTable), so the
// entry of given counts is found by its place; the kept list is then searched for it.
const LaminateCountScan::Candidate* LaminateCountScan::keptWithTotals(const int totals[3],
                                                                      int midCode) const {
  if (group_ == groupEnd_) return nullptr;
  const int open = group_->count[0] + group_->count[1] + group_->count[2];
  const bool midOpen = group_->midCode >= 0;
  if (midOpen != (midCode >= 0)) return nullptr;
  int wanted[3];
  for (int code = 0; code < 3; ++code) {
    wanted[code] = totals[code] - setCodes_[code];
    if (wanted[code] < 0) return nullptr;
  }
  if (wanted[0] + wanted[1] + wanted[2] != open) return nullptr;
  const long long perMid = static_cast<long long>(open + 1) * (open + 2) / 2;
  const long long n0 = wanted[0];
  const long long place = (midOpen ? midCode * perMid : 0) + n0 * (open + 1) - n0 * (n0 - 1) / 2 +
                          wanted[1];
  if (place >= groupEnd_ - group_) return nullptr;
  const CountEntry* entry = group_ + place;
  for (const Candidate* c : above_)
    if (c->entry == entry) return c;
  return nullptr;
}

double LaminateCountScan::keptBest() const {
  double largest = -std::numeric_limits<double>::infinity();
  for (const Candidate* c : above_) largest = std::max(largest, c->value);
  return largest;
}

void LaminateCountScan::reboxAbove() {
  box_.clear();
  for (const Candidate* c : above_) box_.widen(*c->entry);
}

// Ties in the own part keep the table's order, so the result never depends on the sort.
const std::vector<const LaminateCountScan::Candidate*>& LaminateCountScan::sortedAbove() {
  if (aboveSorted_) return above_;  // kept in order since (keepAbove() keeps the order)
  aboveSorted_ = true;
  std::sort(above_.begin(), above_.end(), [](const Candidate* a, const Candidate* b) {
    return a->value > b->value || (a->value == b->value && a < b);
  });
  return above_;
}

}  // namespace kelm
