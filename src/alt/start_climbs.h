#pragma once

#include <optional>
#include <vector>

#include "alt/ranked_starts.h"
#include "alt/trade_off_bound.h"
#include "base/seeded_random.h"
#include "base/stop_request.h"
#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"
#include "response/response_surface.h"
#include "search/excluded_designs.h"
#include "search/extra_surfaces.h"
#include "search/panel_objectives.h"

namespace kelm {

// The local search's budget for one start design of laminates with these half positions.
long long localTriesPerStart(int skinPositions, int stiffenerPositions);
// The local search's budget in all, given the budget of one start.
long long localTries(long long perStart);

// The tight search's first best value: the start designs improved by a local search, and the
// best of them climbed again along the trade-off bound's combinations of the objective surfaces
// (whose weights the climbs' ends then tune). A stop request ends the climbs early.
class StartClimbs {
 public:
  struct Setting {
    const ResponseSurface& model;
    const PanelObjectives& objectives;
    const ExtraSurfaces& extras;
    const LaminateRules& skinRules;
    const LaminateRules& stiffenerRules;
    const ExcludedDesigns* excluded;
    const StopRequest& stop;
    int skinPlyTotal;
    int stiffenerPlyTotal;
  };
  // `threads`: how many start designs may climb at once (the same climbs and ends whatever
  // their number).
  StartClimbs(const Setting& setting, int skinPositions, int stiffenerPositions, int threads = 1);

  // Values each start as the tree values it, improves those that meet the requirements, and
  // returns the best of them after its climbs along `tradeOff`'s combinations (none when no
  // start meets the requirements). `seen`, when given, is offered every allowed design tried.
  std::optional<PanelDesign> climb(std::vector<PanelDesign>& starts, TradeOffBound& tradeOff,
                                   CRand& random, RankedStarts* seen) const;

 private:
  // The tries the climbs have left, and each climbed design's values of the objective surfaces.
  struct Climbs {
    long long triesLeft;
    std::vector<std::vector<double>> points;
  };
  // The starts' first climbs: in turn, drawing from `random` and spending one budget, or, for
  // thick laminates, apart (each with its own draws and share of the budget).
  std::optional<PanelDesign> climbInTurn(std::vector<PanelDesign>& starts, CRand& random,
                                         RankedStarts* seen) const;
  std::optional<PanelDesign> climbApart(std::vector<PanelDesign>& starts, CRand& random,
                                        RankedStarts* seen) const;
  // Values a start as the tree values it; false for one that breaks a requirement.
  bool valueStart(PanelDesign& start, RankedStarts* seen) const;
  void climbCombinations(PanelDesign& best, TradeOffBound& tradeOff, CRand& random,
                         RankedStarts* seen) const;
  double climbCombination(const ResponseSurface& combination, PanelDesign& best, CRand& random,
                          RankedStarts* seen, Climbs& climbs) const;
  void tuneTradeOff(PanelDesign& best, TradeOffBound& tradeOff, CRand& random, RankedStarts* seen,
                    Climbs& climbs) const;

  Setting setting_;
  long long triesPerStart_;
  int threads_;
};

}  // namespace kelm
