#include "iter/alternating_search.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <iostream>
#include <unordered_map>

#include "base/fatal.h"
#include "base/stop_request.h"
#include "search/design_report.h"

namespace kelm {

namespace {
constexpr double kInitialFloor = 1e15;
}

AlternatingSearch::AlternatingSearch(const ResponseSurface& model, const LaminateRules& skinRules,
                                     const LaminateRules& stiffenerRules)
    : skinRules_(skinRules), stiffenerRules_(stiffenerRules), model_(model) {
  objective_.setObjectiveModel(model);
}

void AlternatingSearch::setExtraSurfaces(const ExtraSurfaces& extras) {
  extras_ = extras;
  extraObjectives_.setSurfaces(model_, extras_);
}

bool AlternatingSearch::valueLeaf(ActiveDesign& leaf) const {
  leaf.design.value = objective_.objectivefunc(leaf);
  if (extras_.empty()) return true;
  leaf.design.value = extraObjectives_.smallestWith(leaf.design.value, leaf.design);
  return extraObjectives_.meetsRequirements(leaf.design);
}

void AlternatingSearch::run(int skinPlyTotal, int stiffenerPlyTotal) {
  emptySkin_.setPlyTotal(skinPlyTotal);
  emptyStiffener_.setPlyTotal(stiffenerPlyTotal);
  skinPositions_ = emptySkin_.plyCount();
  stiffenerPositions_ = emptyStiffener_.plyCount();

  ActiveDesign start;
  start.design.skin = emptySkin_;
  start.design.stiffener = initialStiffener(emptyStiffener_);
  start.skinActive = true;
  std::vector<ActiveDesign> candidates{start};
  double floor = kInitialFloor;  // never reset: the smallest turn result of the whole run
  for (int round = 1; !candidates.empty(); ++round) {
    std::vector<ActiveDesign> next = runTurns(candidates, floor);
    if (stopRequested()) {  // a round stopped in its turns left its designs in unprinted_
      keepUnprinted(next);
      break;
    }
    pruneHistory(floor);
    candidates = printRound(round, next);
    roundSteps_ = 0;
  }
  selectResults();
}

// A turn starts from its candidate's own value (0 for the first, whose skin is empty), so a
// turn finds nothing unless some completion ties or beats what the candidate already had.
std::vector<ActiveDesign> AlternatingSearch::runTurns(const std::vector<ActiveDesign>& candidates,
                                                      double& floor) {
  std::vector<ActiveDesign> next;
  if (turnThreads_ > 1 && candidates.size() > 1 && turnWorker()) {
    std::vector<TurnResult> results = runTurnsTogether(candidates);
    const bool stopped = stopRequested();
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (!results[i].searched) continue;  // stopped before its turn
      totalSteps_ += results[i].steps;
      roundSteps_ += results[i].steps;
      leafCount_ += results[i].leaves;
      if (stopped) keepUnprinted(results[i].designs);
      else takeTurn(candidates[i], results[i], next, floor);
    }
    publishProgress(0);
    return next;
  }
  for (const ActiveDesign& candidate : candidates) {
    TurnResult result = runTurn(candidate);
    if (stopRequested()) {  // the designs so far are kept
      keepUnprinted(next);
      keepUnprinted(result.designs);
      break;
    }
    takeTurn(candidate, result, next, floor);
  }
  return next;
}

// A stopped round's designs stay in the lists their turns filled: a flat surface ties millions
// of designs in one turn, and a stop is met within a tenth of a second only if none is copied.
void AlternatingSearch::keepUnprinted(std::vector<PanelDesign>& designs) {
  if (!designs.empty()) unprinted_.push_back(std::move(designs));
}

void AlternatingSearch::keepUnprinted(std::vector<ActiveDesign>& next) {
  std::vector<PanelDesign> designs;
  designs.reserve(next.size());
  for (ActiveDesign& candidate : next) designs.push_back(std::move(candidate.design));
  next.clear();
  keepUnprinted(designs);
}

// The turn's designs become candidates of the next round, the other laminate to be searched.
void AlternatingSearch::takeTurn(const ActiveDesign& candidate, TurnResult& result,
                                 std::vector<ActiveDesign>& next, double& floor) {
  for (PanelDesign& tie : result.designs)
    next.push_back(ActiveDesign{std::move(tie), !candidate.skinActive});
  floor = std::min(floor, result.best);
}

// One turn on this driver; its steps and leaves are counted here and reported as well.
AlternatingSearch::TurnResult AlternatingSearch::runTurn(const ActiveDesign& candidate) {
  const long long steps = totalSteps_;
  const long long leaves = leafCount_;
  prepareTurn(candidate);
  objective_.setObjectiveTerms(candidate);
  turnBest_.restart(candidate.design.value);
  searchTurn(candidate);
  TurnResult result{std::move(turnBest_.designs()), turnBest_.best(), totalSteps_ - steps,
                    leafCount_ - leaves, true};
  turnBest_.restart(0.0);
  return result;
}

// Each worker takes the next candidate not yet taken; the results keep the candidates' order.
std::vector<AlternatingSearch::TurnResult> AlternatingSearch::runTurnsTogether(
    const std::vector<ActiveDesign>& candidates) {
  while (static_cast<int>(turnWorkers_.size()) < turnThreads_) {
    turnWorkers_.push_back(turnWorker());
    turnWorkers_.back()->adoptRunOf(*this);
  }
  std::vector<TurnResult> results(candidates.size());
  // Worker w takes candidate w first, then the next one no worker has taken: short turns would
  // otherwise all go to the first worker before the others began.
  std::atomic<std::size_t> next{turnWorkers_.size()};
  std::vector<std::exception_ptr> failures(turnWorkers_.size());
  std::vector<char> busy(turnWorkers_.size(), 0);
  auto work = [&](std::size_t w) {
    try {
      for (std::size_t i = w; i < candidates.size() && !stopRequested(); i = next++) {
        results[i] = turnWorkers_[w]->runTurn(candidates[i]);
        busy[w] = 1;
      }
    } catch (...) {
      failures[w] = std::current_exception();
      next = candidates.size();  // the other workers stop at their next turn
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t w = 1; w < turnWorkers_.size(); ++w) threads.emplace_back(work, w);
  work(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  if (std::count(busy.begin(), busy.end(), 1) > 1) ++sharedRounds_;
  return results;
}

void AlternatingSearch::adoptRunOf(const AlternatingSearch& master) {
  emptySkin_ = master.emptySkin_;
  emptyStiffener_ = master.emptyStiffener_;
  skinPositions_ = master.skinPositions_;
  stiffenerPositions_ = master.stiffenerPositions_;
  readStopRequestOf(master);
}

void AlternatingSearch::pruneHistory(double floor) { history_.pruneBelow(floor); }

namespace {

// The next round's candidates with an index on their fixed laminate: one candidate per fixed
// laminate, found by a hash probe.
class CandidateList {
 public:
  bool hasFixed(const StackingSequence& fixed, bool skinActive) const {
    const auto [first, last] = index_.equal_range(fixed.hash());
    return std::any_of(first, last, [&](const auto& entry) {
      const ActiveDesign& c = candidates_[entry.second];
      return skinActive ? c.design.stiffener == fixed : c.design.skin == fixed;
    });
  }
  void add(ActiveDesign&& candidate, const StackingSequence& fixed) {
    index_.emplace(fixed.hash(), candidates_.size());
    candidates_.push_back(std::move(candidate));
  }
  std::vector<ActiveDesign> take() { return std::move(candidates_); }

 private:
  std::vector<ActiveDesign> candidates_;
  std::unordered_multimap<std::uint64_t, std::size_t> index_;
};

}  // namespace

// Writes the round line and returns the next candidates: every design not seen before, with
// its laminate to be searched emptied, one per distinct fixed laminate.
std::vector<ActiveDesign> AlternatingSearch::printRound(int round, std::vector<ActiveDesign>& next) {
  CandidateList candidates;
  beforeOutput();
  std::ostream& out = *roundLog_;
  out << "> " << round << " ";
  for (ActiveDesign& candidate : next) {
    const PanelDesign& design = candidate.design;
    design.skin.printSequence(out);
    out << " ";
    design.stiffener.printSequence(out);
    out << "  " << design.value;
    if (history_.contains(design)) {
      out << " %converged%";
    } else {
      history_.add(design);
      const bool skin = candidate.skinActive;
      candidate.active() = skin ? emptySkin_ : emptyStiffener_;
      const StackingSequence fixed = skin ? design.stiffener : design.skin;
      if (!candidates.hasFixed(fixed, skin)) candidates.add(std::move(candidate), fixed);
    }
    out << '\n';
  }
  out << "step " << roundSteps_ << " done." << '\n';
  return candidates.take();
}

// Keeps the designs of the largest value (none when it is below -1e-13). A stopped run also
// weighs the designs of its last, unfinished round.
void AlternatingSearch::selectResults() {
  results_.restart(0.0);
  for (const PanelDesign& design : history_.designs()) results_.keepLargest(design, design.value);
  for (std::vector<PanelDesign>& designs : unprinted_) selectUnprinted(designs);
  unprinted_.clear();
}

// The designs of a list not printed before, by the rule of keepLargest, moved into the results
// in their order (the list itself where nothing is held yet).
void AlternatingSearch::selectUnprinted(std::vector<PanelDesign>& designs) {
  std::vector<double> values(designs.size());
  std::vector<char> passed(designs.size(), 0);
  const bool historyEmpty = history_.designs().empty();
  for (std::size_t i = 0; i < designs.size(); ++i) {
    values[i] = designs[i].value;
    passed[i] = !historyEmpty && history_.contains(designs[i]);
  }
  std::vector<char> kept;
  results_.markLargest(values, passed, kept);
  std::size_t held = 0;
  for (std::size_t i = 0; i < designs.size(); ++i) {
    if (!kept[i]) continue;
    if (held != i) designs[held] = std::move(designs[i]);
    ++held;
  }
  designs.resize(held);
  results_.append(std::move(designs));
}

void AlternatingSearch::countStep(int steps) {
  totalSteps_ += steps;
  roundSteps_ += steps;
}

void AlternatingSearch::publishProgress(long long held) {
  runBest_ = std::max(runBest_, turnBest_.best());
  progress_.publish(totalSteps_, held, runBest_);
}

void AlternatingSearch::report() {
  writeOptimalDesigns(results_.designs(), stopRequested());
  writeStepLine();
}

}  // namespace kelm
