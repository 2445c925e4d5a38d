#pragma once

#include <cstdint>
#include <vector>

#include "alt/count_cells.h"
#include "search/laminate_count_scan.h"
#include "search/symmetric_surface.h"
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
  // A stop request ends the tables' set-up early (see OpenCountTable::build). The tables of
  // the objective keep each last set run for short open stretches; those of the further
  // surfaces (`boundedStretch` 0), of which a search may hold dozens, do not. With `threads` 2
  // or more the two laminates' tables are built at once (the same tables).
  void setModel(const ResponseSurface& model, int skinPlyTotal, int stiffenerPlyTotal,
                const LaminateRules& skinRules, const LaminateRules& stiffenerRules,
                const StopRequest* stop = nullptr,
                int boundedStretch = OpenCountTable::kBoundedStretch, int threads = 1);

  // An upper bound of every allowed completion of `design` whose value can come within the tie
  // tolerance of `best`. Below best - tolerance when there is none; -infinity when the rules
  // leave the design no completion at all.
  double evaluate(const PanelDesign& design, double best);

  // The counts of a laminate that can still reach the best value, as the last evaluate() or
  // narrow() left them (when it left the design open).
  const std::vector<const LaminateCountScan::Candidate*>& kept(int laminate) const {
    return scans_[laminate].kept();
  }
  // The bound of the last design again, with only the kept counts `keep(laminate, candidate)`
  // passes: where other failure modes rule counts out, the boxes of the rest are smaller and
  // their couplings sharper. Below best - tolerance when no count is left.
  template <typename Keep>
  double narrow(const Keep& keep, double best) {
    for (int l = 0; l < kLaminates; ++l)
      scans_[l].keepAbove([&](const LaminateCountScan::Candidate& c) { return keep(l, c); });
    return narrowKept(best);
  }

  // The codes of a design expected at or near the best value (the search's first best design):
  // near the optimum most designs the search keeps open have their best pair of counts at that
  // design's totals of codes, so that pair is valued before the pair scan, and where it reaches
  // the best value the design stays open without the scan, keyed by the boxes' bound of every
  // pair. An exact value is never needed there: the pair only proves that the design stays open.
  void preferTotalsOf(const PanelDesign& design);

  // Whether the pair scan goes on after a pair reaches the best value, for a key as low as the
  // bound can make it (when measuring the bound itself; the search never needs it).
  void setFullPairScan(bool full) { fullPairScan_ = full; }
  // From how many stiffener counts the pair scan reads cells of counts before pairs (the same
  // cuts and keys either way; cells pay only where nodes keep hundreds of counts).
  static constexpr std::size_t kFewestCountsInCells = 256;
  void setFewestCountsInCells(std::size_t counts) { fewestCountsInCells_ = counts; }

  // The margin added to every bound, so that rounding never cuts an optimum or a tie.
  double margin() const { return surface_.margin; }

  // The pieces of the last evaluation, for measuring where the bound is loose: F at the design
  // and each laminate's largest own part.
  struct Parts {
    double value;
    double skinOwn;
    double stiffenerOwn;
  };
  Parts lastParts() const { return {value_, scans_[0].best(), scans_[1].best()}; }

 private:
  static constexpr int kLaminates = 2;
  static constexpr int kParameters = 8;

  void setObjectiveAt(const PanelDesign& design);
  double couplingBound() const;
  // The bound over the kept counts: each count's own coupling with the other laminate's box
  // drops more, then the boxes' coupling, then the pairs. `skinOwn`, `stiffenerOwn`: each
  // laminate's largest own part over its kept counts.
  double boundOfKept(double needed, double skinOwn, double stiffenerOwn, bool preferred = false);
  // Whether the preferred pair of counts is kept and its pair bound reaches `needed`.
  bool preferredPairReaches(double needed) const;
  double narrowKept(double best);
  // The largest bound over pairs of counts that can reach `needed`, each pair with its exact
  // in-plane coupling; `boxBound` bounds every pair.
  double pairBound(double boxBound, double needed);
  // The same scan with each laminate's counts grouped in cells: a row reads the stiffener's
  // cells and only the pairs of the cells whose coupling with the row can still reach.
  double pairBoundByCells(double boxBound, double needed);
  // The coupling of every pair of a skin cell and a stiffener cell, kept for the node in progress.
  double cellPairCoupling(int skinCell, int stiffenerCell);
  // A bound of a pair's own parts and coupling, sharpened only while it reaches `target`: at
  // most the sum of the two counts' own parts and their countCoupling.
  double pairValue(const LaminateCountScan::Candidate& skin,
                   const LaminateCountScan::Candidate& stiffener, double target) const;
  double countCoupling(int laminate, const CountEntry& entry) const;
  // The coupling of one laminate's count with every increment of a box of the other's.
  double countCouplingWith(int laminate, const CountEntry& entry,
                           const LaminateCountScan::Box& other) const;
  double boxesCoupling(const LaminateCountScan::Box& skin,
                       const LaminateCountScan::Box& stiffener) const;

  SymmetricSurface surface_;
  double value_ = 0.0;                 // F at the design's parameters
  double gradient_[kParameters] = {};  // g there
  LaminateCountScan scans_[kLaminates];
  bool fullPairScan_ = false;
  // The preferred totals of codes of each laminate's ordinary positions and its mid-plane code.
  struct PreferredTotals {
    int codes[3] = {0, 0, 0};
    int midCode = -1;
  };
  PreferredTotals preferred_[kLaminates];
  bool hasPreferred_ = false;
  bool midOpen_[kLaminates] = {false, false};  // the last design's mid-plane plies still open
  std::size_t fewestCountsInCells_ = kFewestCountsInCells;
  CountCells cells_[kLaminates];
  // cellPairCoupling()'s values, valid where their stamp is the node's.
  std::vector<double> cellCouplings_;
  std::vector<std::uint64_t> cellStamps_;
  std::uint64_t stamp_ = 0;
};

}  // namespace kelm
