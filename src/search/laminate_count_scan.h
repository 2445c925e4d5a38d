#pragma once

#include <memory>
#include <vector>

#include "laminate/laminate_rules.h"
#include "laminate/stacking_sequence.h"
#include "search/hexagon_max.h"
#include "search/open_counts.h"

namespace kelm {

// One laminate's part of the count bounds. With g the gradient of the objective at a partial
// design, restricted to this laminate's parameters (in-plane 0, 1, bending 2, 3), a completion
// adds the increment D = (a, d) and the laminate's own part g . D + half D H D. The scan takes
// each count N of codes the open positions can hold (the rules restrict N: balance, fixed ply
// numbers, minimum share, whether the open stretch can be arranged under the run limits and the
// cross-ply rule) and maximises the own part over N: exact in-plane, over the hexagon of block
// arrangements in bending (see OpenCountTable).
class LaminateCountScan {
 public:
  // An allowed count of the node: its own part, exact or (where a cheap bound showed it cannot
  // be the largest) an upper bound, made exact when asked for.
  struct Candidate {
    const CountEntry* entry;
    double value;
    bool exact;
  };
  // The box of the increments of a set of counts: in-plane 0, 1, bending 2, 3.
  struct Box {
    double low[4];
    double high[4];
    void clear();                       // holds nothing: each low above each high
    void widen(const CountEntry& entry);  // holds the entry's increments too
  };

  // `blocks` are the laminate's own blocks of the symmetric Hessian. `boundedStretch`: see
  // OpenCountTable::build.
  void setModel(int plyTotal, const LaminateBlocks& blocks, const LaminateRules& rules,
                const StopRequest* stop = nullptr,
                int boundedStretch = OpenCountTable::kBoundedStretch);

  // Scans the allowed counts of `sequence` with the own gradient `gradient` (kept until the
  // next scan). False when the rules leave the sequence no completion.
  bool scan(const StackingSequence& sequence, const double* gradient);
  // For a bound without the other laminate's coupling (the iterative method's turns): the
  // largest own part alone, no box. Each allowed count gets the cheap bound first; the largest
  // of them is made exact first, so that few others still can pass it. When no cheap bound
  // reaches `floor`, best() is the largest of them: an upper bound below `floor`, which is all
  // a pruning test needs. False when the rules leave the sequence no completion.
  bool scanLargest(const StackingSequence& sequence, const double* gradient, double floor);
  // The largest own part of the last scan, and the box of every allowed count.
  double best() const { return best_; }
  const Box& box() const { return box_; }
  // Narrows the box to the counts whose own part reaches `threshold`, and keeps them (their
  // own parts exact) for sortedAbove().
  void boxAbove(double threshold);
  // Keeps of the last boxAbove()'s counts those `keep` passes, and narrows the box to them.
  // False when none is left (the box is then empty).
  // (A template: it runs on every node of the tight search, where a std::function of its
  // captures would allocate.)
  template <typename Keep>
  bool keepAbove(const Keep& keep) {
    std::size_t kept = 0;
    for (const Candidate* c : above_)
      if (keep(*c)) above_[kept++] = c;
    above_.resize(kept);
    reboxAbove();
    return kept > 0;
  }
  // The counts of the last boxAbove(), largest own part first.
  const std::vector<const Candidate*>& sortedAbove();
  // The counts kept so far (boxAbove(), then keepAbove()), in no set order, and the largest
  // own part among them (-infinity when none is kept).
  const std::vector<const Candidate*>& kept() const { return above_; }
  double keptBest() const;

  // The kept count whose codes, added to the set positions' codes, make up `totals` (codes 0,
  // +-45 and 90 over the ordinary positions, without an odd total's mid-plane ply) and whose open
  // mid-plane ply takes `midCode` (-1 where none is open); nullptr when no such count is kept.
  const Candidate* keptWithTotals(const int totals[3], int midCode) const;

  // The candidates of the last scan, in table order.
  int candidateCount() const { return candidateCount_; }
  Candidate& candidate(int i) { return candidates_[i]; }
  // Makes a candidate's own part exact.
  void makeExact(Candidate& c) const;
  // The exact own part of a count with `extra` added to the gradient of its bending increment
  // (terms of a pair bound that are linear in it); `at` receives a bending increment where the
  // largest value is reached.
  double ownPartWith(const CountEntry& entry, const double extra[2], double at[2]) const;

 private:
  bool scanCounts(const StackingSequence& sequence, const double* gradient, double floor,
                  bool withBox);
  double ownPart(const CountEntry& entry, bool exact) const;
  void reboxAbove();
  bool allowed(const StackingSequence& sequence, const CountEntry& entry) const;
  void countSetCodes(const StackingSequence& sequence);

  // Read only once built: copies of the scan (one per thread of a search) share it.
  std::shared_ptr<const OpenCountTable> table_;
  BendingForm bending_;
  const LaminateRules* rules_ = nullptr;
  int setCodes_[3] = {};  // set positions of each code
  int pliesNeeded_ = 0;   // minimum share, in plies of each orientation
  const double* gradient_ = nullptr;
  const CountEntry* group_ = nullptr;  // the last scan's entries
  const CountEntry* groupEnd_ = nullptr;
  double best_ = 0.0;
  Box box_ = {};
  std::vector<Candidate> candidates_;  // scratch of the node in progress
  int candidateCount_ = 0;
  std::vector<const Candidate*> above_;  // scratch: the counts of the last boxAbove()
  bool aboveSorted_ = false;             // above_ is in sortedAbove()'s order
};

}  // namespace kelm
