#pragma once

#include <vector>

#include "alt/hexagon_max.h"
#include "alt/open_counts.h"
#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"
#include "response/response_surface.h"

namespace kelm {

// A sharper upper bound of a partial panel design, for the tight search. With x the current
// eight parameters, g the gradient there and H the surface's Hessian, a completion adds
// increments D_L = (a, d) to each laminate L and reaches
//   F(x) + sum over L of [g_L . D_L + half D_L H_LL D_L] + D_skin H_st D_stiffener.
// Each laminate's own part is maximised over the counts N of codes its open positions can take
// (the rules restrict N: balance, fixed ply numbers, minimum share): exact in-plane, over the
// hexagon of block arrangements in bending (see OpenCountTable). The skin-stiffener part is
// bounded over the boxes of increments the laminates can still reach, counting only the N whose
// own part can still bring the design to the best value.
class CountCoupledBound {
 public:
  void setModel(const ResponseSurface& model, int skinPlyTotal, int stiffenerPlyTotal,
                const LaminateRules& skinRules, const LaminateRules& stiffenerRules);

  // An upper bound of every allowed completion of `design` whose value can come within the tie
  // tolerance of `best`. Below best - tolerance when there is none; -infinity when the rules
  // leave the design no completion at all.
  double evaluate(const PanelDesign& design, double best);

  // The margin added to every bound, so that rounding never cuts an optimum or a tie.
  double margin() const { return margin_; }

 private:
  static constexpr int kLaminates = 2;
  static constexpr int kParameters = 8;
  // What one laminate's scan found: the largest own part and the box of its increments
  // (in-plane 0, 1, bending 2, 3).
  struct Scan {
    double best;
    double low[4];
    double high[4];
  };
  // An allowed count of the node: its own part, exact or (where a cheap bound showed it cannot
  // be the largest) an upper bound, made exact when a box needs it.
  struct Candidate {
    const CountEntry* entry;
    double value;
    bool exact;
  };

  void setObjectiveAt(const PanelDesign& design);
  // The largest own part over the allowed counts, kept in candidates_[laminate], and the box of
  // them all.
  bool scanLaminate(int laminate, const StackingSequence& sequence, Scan& scan);
  double ownPart(int laminate, const CountEntry& entry, bool exact) const;
  // The box over the counts whose own part reaches `threshold`.
  void boxAbove(int laminate, double threshold, Scan& scan);
  double couplingBound(const Scan& skin, const Scan& stiffener) const;
  bool allowed(int laminate, const StackingSequence& sequence, const CountEntry& entry) const;
  void markArrangeable(int laminate);
  void countSetCodes(int laminate, const StackingSequence& sequence);

  double hessian_[kParameters][kParameters] = {};  // symmetric
  double linear_[kParameters] = {};
  double constant_ = 0.0;
  double margin_ = 0.0;
  double value_ = 0.0;                      // F at the design's parameters
  double gradient_[kParameters] = {};       // g there
  OpenCountTable tables_[kLaminates];
  BendingForm bending_[kLaminates];
  const LaminateRules* rules_[kLaminates] = {nullptr, nullptr};
  int setCodes_[kLaminates][3] = {};        // set positions of each code, per laminate
  int pliesNeeded_[kLaminates] = {0, 0};    // minimum share, in plies of each orientation
  std::vector<Candidate> candidates_[kLaminates];  // scratch of the node in progress
  int candidateCount_[kLaminates] = {0, 0};
  // Per entry of the table: whether the open positions alone can hold its codes under the run
  // limits and the cross-ply rule (every completion's open part must).
  std::vector<char> arrangeable_[kLaminates];
};

}  // namespace kelm
