#include "alt/start_climbs.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>

#include "alt/local_improvement.h"
#include "alt/trade_off_weights.h"
#include "search/tie_rule.h"

namespace kelm {

namespace {
// Tries of the tight mode's local search, per start design and in all, at least. It ends sooner
// where no change improves, within milliseconds on most panels: only long laminates, whose
// designs have many neighbours and long ways up, spend it (96 plies a laminate take some 40,000
// tries a start; the whole budget takes a second or two at 128 plies).
constexpr long long kLocalTriesPerStart = 100000;
constexpr long long kLocalTries = 1000000;
// A design's neighbours (single changes, exchanges and pairs) grow with the square of its
// positions, and a climb passes over them some six times before no change improves: 192/192
// plies take up to 280,000 tries a start. A budget cut short leaves the tree a first best value
// far below the optimum on a flat surface (4e-4 below it on panel_d at 192/192, millions of
// designs between), so the budget grows with the neighbourhood: some twelve passes a start.
constexpr long long kTriesPerSquaredPosition = 30;
constexpr long long kStartsBudgeted = 10;
// Rounds of tuning the trade-off weights: each climbs the combination of the last weights.
constexpr int kTuningRounds = 8;
}  // namespace

long long localTriesPerStart(int skinPositions, int stiffenerPositions) {
  const long long squares = static_cast<long long>(skinPositions) * skinPositions +
                            static_cast<long long>(stiffenerPositions) * stiffenerPositions;
  return std::max(kLocalTriesPerStart, kTriesPerSquaredPosition * squares);
}

long long localTries(long long perStart) {
  return std::max(kLocalTries, kStartsBudgeted * perStart);
}

StartClimbs::StartClimbs(const Setting& setting, int skinPositions, int stiffenerPositions,
                         int threads)
    : setting_(setting),
      triesPerStart_(localTriesPerStart(skinPositions, stiffenerPositions)),
      threads_(std::max(1, threads)) {}

// Up to about 80 plies a laminate the climbs take milliseconds and go in turn, as they always
// have; where the budget grows with the neighbourhood they take seconds, and go apart.
std::optional<PanelDesign> StartClimbs::climb(std::vector<PanelDesign>& starts,
                                              TradeOffBound& tradeOff, CRand& random,
                                              RankedStarts* seen) const {
  std::optional<PanelDesign> bestStart = triesPerStart_ > kLocalTriesPerStart
                                             ? climbApart(starts, random, seen)
                                             : climbInTurn(starts, random, seen);
  if (bestStart) climbCombinations(*bestStart, tradeOff, random, seen);
  return bestStart;
}

// Valued again as the tree values it: the random start's laminates carry the rounding of their
// rewrites. A start that breaks a requirement is no start.
bool StartClimbs::valueStart(PanelDesign& start, RankedStarts* seen) const {
  const PanelObjectives& objectives = setting_.objectives;
  start.value = objectives.value(start);
  if (objectives.hasExtras() && !objectives.meetsRequirements(start)) return false;
  if (seen) seen->offer(start);
  return true;
}

std::optional<PanelDesign> StartClimbs::climbInTurn(std::vector<PanelDesign>& starts,
                                                    CRand& random, RankedStarts* seen) const {
  const LocalImprovement local(setting_.objectives, setting_.skinRules, setting_.stiffenerRules,
                               setting_.excluded, &setting_.stop);
  long long left = localTries(triesPerStart_);
  std::optional<PanelDesign> bestStart;
  for (PanelDesign& start : starts) {
    if (!valueStart(start, seen)) continue;
    left -= local.improve(start, random, std::min(left, triesPerStart_), seen);
    if (!bestStart || start.value > bestStart->value) bestStart = start;
  }
  return bestStart;
}

// Each start climbs with draws seeded from `random` in start order and an equal share of the
// whole budget, so no climb depends on another: the starts climb on the search's threads (in
// turn when the designs met are ranked, which one list collects), and the best is taken in
// start order, the same for any number of threads.
std::optional<PanelDesign> StartClimbs::climbApart(std::vector<PanelDesign>& starts,
                                                   CRand& random, RankedStarts* seen) const {
  const LocalImprovement local(setting_.objectives, setting_.skinRules, setting_.stiffenerRules,
                               setting_.excluded, &setting_.stop);
  std::vector<CRand> draws;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const auto high = static_cast<std::uint32_t>(random.next());
    draws.emplace_back((high << 15) ^ static_cast<std::uint32_t>(random.next()));
  }
  const long long share = std::min(
      triesPerStart_, localTries(triesPerStart_) / std::max<long long>(1, starts.size()));
  std::vector<char> valid(starts.size(), 0);
  auto climbOne = [&](std::size_t i) {
    if (!valueStart(starts[i], seen)) return;
    local.improve(starts[i], draws[i], share, seen);
    valid[i] = 1;
  };
  const int threads = seen ? 1 : std::min<int>(threads_, static_cast<int>(starts.size()));
  std::atomic<std::size_t> next{0};
  std::vector<std::exception_ptr> failures(threads);
  auto work = [&](int t) {
    try {
      for (std::size_t i = next++; i < starts.size(); i = next++) climbOne(i);
    } catch (...) {
      failures[t] = std::current_exception();
      next = starts.size();
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back(work, t);
  work(0);
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  std::optional<PanelDesign> bestStart;
  for (std::size_t i = 0; i < starts.size(); ++i)
    if (valid[i] && (!bestStart || starts[i].value > bestStart->value)) bestStart = starts[i];
  return bestStart;
}

// Where failure modes meet, the local search of the smallest value stops where one mode gains
// only as another loses. A weighted mean of the modes has no kink there: the best start climbs
// each combination of the trade-off grid, and the smallest value again from where that climb
// ends; the best of these ends is kept. (At a kink the optimum of the smallest value is a best
// design of some combination, so these climbs reach designs the first could not; without a good
// first value the tree must open far more designs before it meets the optimum.) The ends of the
// climbs then tune the trade-off bound's weights.
void StartClimbs::climbCombinations(PanelDesign& best, TradeOffBound& tradeOff, CRand& random,
                                    RankedStarts* seen) const {
  Climbs climbs{localTries(triesPerStart_), {setting_.objectives.objectiveValues(best)}};
  for (const ResponseSurface& combination : tradeOff.combinations()) {
    if (climbs.triesLeft <= 0 || setting_.stop.requested()) return;
    climbCombination(combination, best, random, seen, climbs);
  }
  tuneTradeOff(best, tradeOff, random, seen, climbs);
}

// Climbs one combination from `best`, then the smallest value; keeps the better end in `best`
// and both ends' surface values in `climbs`. Returns the combination's value where it stopped.
double StartClimbs::climbCombination(const ResponseSurface& combination, PanelDesign& best,
                                     CRand& random, RankedStarts* seen, Climbs& climbs) const {
  const PanelObjectives& objectives = setting_.objectives;
  ExtraSurfaces requirementsOnly;
  requirementsOnly.required = setting_.extras.required;
  PanelObjectives weighted;
  weighted.setSurfaces(combination, requirementsOnly);
  PanelDesign climb = best;
  climb.value = weighted.value(climb);
  const LocalImprovement along(weighted, setting_.skinRules, setting_.stiffenerRules,
                               setting_.excluded, &setting_.stop);
  climbs.triesLeft -= along.improve(climb, random, std::min(climbs.triesLeft, triesPerStart_));
  const double reached = climb.value;
  climbs.points.push_back(objectives.objectiveValues(climb));
  climb.value = objectives.value(climb);
  if (seen) seen->offer(climb);
  const LocalImprovement local(objectives, setting_.skinRules, setting_.stiffenerRules,
                               setting_.excluded, &setting_.stop);
  climbs.triesLeft -= local.improve(
      climb, random, std::min(std::max(climbs.triesLeft, 0LL), triesPerStart_), seen);
  climbs.points.push_back(objectives.objectiveValues(climb));
  if (climb.value > best.value) best = climb;
  return reached;
}

// The weights whose combination is least over the designs climbed so far bound the optimum
// best as far as those designs tell; a climb of that combination either finds a design above
// that least value (which moves the weights: another round) or confirms it. The weights of the
// last round join the trade-off bound.
void StartClimbs::tuneTradeOff(PanelDesign& best, TradeOffBound& tradeOff, CRand& random,
                               RankedStarts* seen, Climbs& climbs) const {
  std::vector<double> weights;
  for (int round = 0; round < kTuningRounds; ++round) {
    if (climbs.triesLeft <= 0 || setting_.stop.requested()) break;
    weights = leastLargestCombination(climbs.points);
    if (weights.empty()) return;
    const double least = largestCombination(climbs.points, weights);
    const ResponseSurface combination =
        weightedCombination(setting_.model, setting_.extras, weights);
    if (!(climbCombination(combination, best, random, seen, climbs) > least + kTieTolerance)) break;
  }
  if (!weights.empty() && !setting_.stop.requested())
    tradeOff.setTuned(weights, setting_.skinPlyTotal, setting_.stiffenerPlyTotal,
                      setting_.skinRules, setting_.stiffenerRules);
}

}  // namespace kelm
