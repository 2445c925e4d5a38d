#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "laminate/laminate_rules.h"
#include "response/response_surface.h"

namespace kelm {

// One candidate of a sizing: a laminate's ply total (stiffener 0), or a panel's pair of totals,
// and the weight the candidates are ordered by.
struct PlyTotals {
  int skin = 0;
  int stiffener = 0;
  double weight = 0.0;
};

// Lightest first; of equal weights the order given (a panel's list runs skin by skin, so the
// thinner skin comes first).
void sortLightestFirst(std::vector<PlyTotals>& totals);

// A surface every design must reach (value >= limit).
struct Requirement {
  const ResponseSurface* surface = nullptr;
  double limit = 0.0;
};

// What a sizing must know of one candidate before deciding it: its laminates' rules and its
// requirements.
struct TotalsSetUp {
  LaminateRules skinRules;
  LaminateRules stiffenerRules;
  std::vector<Requirement> requirements;
};

// What the exact search of one candidate told.
struct TotalsSearched {
  bool stopped = false;  // the time limit, an interrupt or the memory ended it undecided
  bool found = false;    // a design meets every requirement
  long long steps = 0;
  double seconds = 0.0;
};

// What was decided for one candidate.
struct TotalsDecision {
  enum class Outcome { Skipped, None, Found, Stopped };
  PlyTotals totals;
  Outcome outcome = Outcome::None;
  int requirement = -1;  // skipped: the requirement (index) no design can meet, its limit and
  double limit = 0.0;    // the cheap bound that shows it
  double bound = 0.0;
  long long steps = 0;
  double seconds = 0.0;
};

const char* outcomeName(TotalsDecision::Outcome outcome);

// The caller's part of a sizing: the set-up of a candidate, what to do with one skipped (may be
// empty), the exact search of one within the seconds left (none: no limit), and the seconds
// used so far (the caller's clock).
struct SizingSteps {
  std::function<TotalsSetUp(const PlyTotals&)> setUp;
  std::function<void(const TotalsDecision&)> skipped;
  std::function<TotalsSearched(const PlyTotals&, std::optional<double> secondsLeft)> search;
  std::function<double()> secondsUsed;
};

// The decisions, lightest first; the last is Found or Stopped when the sizing ended there.
struct Sizing {
  std::vector<TotalsDecision> decisions;
  bool found() const;
  bool stopped() const;
};

// The lightest candidate whose best design meets every requirement, decided candidate by
// candidate, lightest first. One whose requirement no design can reach by the cheap bound is
// skipped without a search; every other is searched exactly, so when one holds a design every
// lighter one has been proved to hold none. The time limit is the whole sizing's: a candidate
// that needs a search when none is left is marked stopped and ends it.
Sizing sizeLightestFirst(const std::vector<PlyTotals>& totals, std::optional<double> timeLimit,
                         const SizingSteps& steps);

// The first requirement that no design of these totals can reach, by the cheap bound (none
// when every requirement may be met). Fills the decision's requirement, limit and bound.
bool outOfReach(const PlyTotals& totals, const TotalsSetUp& setUp, TotalsDecision& decision);

}  // namespace kelm
