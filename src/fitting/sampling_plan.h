#pragma once

#include <cstdint>
#include <vector>

#include "base/stop_request.h"
#include "laminate/laminate_rules.h"
#include "laminate/panel_design.h"

namespace kelm {

// What a sampling plan is asked for: the two laminates' totals and rules, how many designs,
// the seed of every random draw, and how many random allowed designs to choose from. A
// stiffener of 0 plies asks for a plan of single laminates (the skin alone) for the 15 terms
// of x1, x2, x5 and x6.
struct PlanRequest {
  LaminateRules skinRules;    // plyTotal and halfPlyCount set
  LaminateRules stiffenerRules;  // plyTotal 0: no stiffener
  int count = 0;
  std::uint32_t seed = 1;
  int poolSize = 2000;
  // Read between the steps of the pool and of the exchange (none: the plan runs to its end).
  const StopRequest* stop = nullptr;
};

// A plan of buildable designs spread so that the quadratic (45 terms of a panel, 15 of a single
// laminate) is well determined: a
// D-optimal choice (exchange algorithm on the information matrix) from a seeded pool of random
// allowed designs and the extreme designs (blocks of one orientation), and how it compares
// with a plain random choice of the same size from the same pool.
struct SamplingPlan {
  std::vector<PanelDesign> designs;
  int poolSize = 0;
  int terms = 0;  // of the quadratic the plan determines: 45, or 15 for a single laminate
  // (det M_plan / det M_random)^(1/terms): the plan's D-efficiency against the random plan.
  double efficiencyAgainstRandom = 0.0;
  double logDetPlan = 0.0;    // log det of the plan's information matrix (per sample)
  double logDetRandom = 0.0;  // the same for the random plan
  // Stopped early: the designs are the exchange's current choice (none when the pool was not
  // complete), its determinants not computed (NaN).
  bool stopped = false;
};

// Fails with a message when the rules admit no design, or when fewer designs than asked for
// can be told apart.
SamplingPlan dOptimalPlan(const PlanRequest& request);

// Random allowed laminates: a random walk down the tree of positions that keeps every rule,
// each laminate leaning to orientations drawn at random, so that the laminates cover the
// lamination-parameter region. Empty where none is found within a bounded effort.
std::vector<StackingSequence> randomAllowedLaminates(const LaminateRules& rules, int count,
                                                     std::uint32_t seed,
                                                     const StopRequest* stop = nullptr);

}  // namespace kelm
