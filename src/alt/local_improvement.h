#pragma once

#include "base/seeded_random.h"
#include "base/stop_request.h"
#include "laminate/laminate_rules.h"
#include "alt/ranked_starts.h"
#include "laminate/panel_design.h"
#include "search/excluded_designs.h"
#include "search/panel_objectives.h"

namespace kelm {

// A short local search that raises the tight search's first best value: from a complete,
// allowed design, a change of one position's code, an exchange of two positions' codes, or new
// codes at two positions at once (so that the balance rule, which a single change breaks, lets
// the counts move: two 0 deg plies become +-45 ones) in one laminate is kept when the design
// still meets its rules and is worth more. The changes are
// tried in a seeded random order, the first improving one is taken, until none improves or the
// budget of tries is spent. An excluded design is never a step. Changed laminates are rebuilt ply by ply from the outside in, as the
// tree builds them, so a design's value here is the value the tree gives it.
class LocalImprovement {
 public:
  LocalImprovement(const PanelObjectives& objectives, const LaminateRules& skinRules,
                   const LaminateRules& stiffenerRules,
                   const ExcludedDesigns* excluded = nullptr,
                   const StopRequest* stop = nullptr);

  // Improves `design` (its value set) in place; returns the tries spent, at most `budget`.
  // A stop request, when one is given, ends the climb at the next try: at thick laminates a
  // climb runs for seconds, and a time limit or an interrupt must not wait for it.
  // `seen`, when given, is offered every allowed design tried.
  long long improve(PanelDesign& design, CRand& random, long long budget,
                    RankedStarts* seen = nullptr) const;

  enum class Kind { kSet, kExchange, kSetPair };
  // kSet: position `first` takes `code`; kExchange: positions `first` and `second` swap their
  // codes; kSetPair: `first` takes `code` and `second` takes `secondCode`.
  struct Change {
    bool skin;
    Kind kind;
    int first;
    int second;
    int code;
    int secondCode;
  };
 private:
  bool tryChange(const PanelDesign& design, const Change& change, PanelDesign& candidate,
                 RankedStarts* seen) const;

  const PanelObjectives& objectives_;
  const LaminateRules& skinRules_;
  const LaminateRules& stiffenerRules_;
  const ExcludedDesigns* excluded_;
  const StopRequest* stop_;
};

}  // namespace kelm
