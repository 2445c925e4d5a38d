#include "blend/lightest_run.h"

#include <algorithm>
#include <limits>
#include <string>

#include "blend/panel_totals_alone.h"

namespace kelm {

LightestRun::LightestRun(const BlendedStructure& structure, const StopRequest* stop, const VectorProgress& progress,
                         const std::vector<int>& start, bool weightOnly)
    : structure_(structure),
      stop_(stop),
      progress_(progress),
      start_(start),
      weightOnly_(weightOnly),
      conflicts_(structure, result_, completions_),
      enumeration_(structure, conflicts_, [this](const std::vector<int>& plies) { return taken(plies); }),
      lightDesign_(structure, result_) {
  setStop(stop);
}

void LightestRun::setStop(const StopRequest* stop) {
  stop_ = stop;
  conflicts_.setStop(stop);
  enumeration_.setStop(stop);
  lightDesign_.setStop(stop);
}

// A vector searched already, or out with a decider elsewhere, or left undecided there.
bool LightestRun::taken(const std::vector<int>& plies) const {
  return tried_.count(plies) || handedOut_.count(plies) || undecided_.count(plies);
}

bool LightestRun::learnPanels() {
  std::vector<std::vector<int>> options = totalsEachPanelMeets(structure_, stop_, result_);
  if (stopped()) return false;
  for (const auto& panel : options)
    if (panel.empty()) return false;
  enumeration_.setOptions(std::move(options));
  certified_ = enumeration_.lightestWeight();
  conflicts_.prepare(enumeration_.options());
  return true;
}

std::optional<LightestBlend> LightestRun::prepare() {
  if (!learnPanels()) return stopped() ? stoppedResult(0.0) : finished();
  if (!start_.empty() && !tryStart()) return stoppedResult(certified_);
  lightDesign_.descend(enumeration_.options(), conflicts_);
  if (stopped()) return stoppedResult(certified_);
  return std::nullopt;
}

LightestBlend LightestRun::run() {
  if (std::optional<LightestBlend> ended = prepare()) return *ended;
  // First the lightest weight, each vector searched only for a first design, so that the weight
  // is certified as early as it can be; then the largest smallest margin among the vectors of
  // that weight. Once a design of the weight is held, the other vectors of that weight are
  // searched for a larger margin at once: proving one holds no design at all would cost more
  // than proving it holds none that beats the margin.
  while (true) {
    std::vector<int> plies;
    double weight = 0.0;
    // A stop cuts the enumeration short, so no vector found then proves nothing is left.
    const bool untried = enumeration_.lightestUntried(plies, weight);
    if (stopped()) return stoppedResult(certified_);
    if (!untried) break;
    if (weightCertified(weight)) break;
    certified_ = weight;
    // A design of this weight is held: another vector of it counts only with a larger margin.
    if (result_.found && !heavierThan(result_.weight, weight)) {
      ++result_.vectorsTried;
      tried_.insert(plies);
      if (raiseMarginOf(plies) == Decision::Stopped) return stoppedResult(weight);
      continue;
    }
    const Decision decision = decideVector(plies, weight, true);
    if (decision == Decision::Stopped) return stoppedResult(weight);
    if (decision == Decision::GroupFails) continue;  // the enumeration learns the group
    tried_.insert(plies);
    if (!lastFound_) continue;
    lightest_.push_back(plies);
    // Its margin raised at once, so that the other vectors of its weight have more to beat.
    if (!weightOnly_) lightDesign_.raiseMargin(plies), ++marginAnnealed_;
    if (stopped()) return stoppedResult(weight);
  }
  return raiseMargin();
}

// Whether the design held needs no vector of this weight (the lightest left) searched: none
// heavier can beat it, and asked for the weight only, none as heavy either, since every lighter
// vector has been decided.
bool LightestRun::weightCertified(double weight) const {
  if (!result_.found) return false;
  return heavierThan(weight, result_.weight) || (weightOnly_ && !heavierThan(result_.weight, weight));
}

// The weight certified: among the vectors of that weight, the design of the largest smallest
// margin.
LightestBlend LightestRun::raiseMargin() {
  // A design no margin can beat (no panel has a surface) is the best of its weight as it is.
  if (weightOnly_ || (result_.found && result_.margin == std::numeric_limits<double>::infinity()))
    return finished();
  // A larger margin found first cuts more of each exact search.
  for (std::size_t v = marginAnnealed_; v < lightest_.size(); ++v) {
    lightDesign_.raiseMargin(lightest_[v]);
    if (stopped()) return stoppedResult(result_.weight);
  }
  for (const std::vector<int>& plies : lightest_)
    if (raiseMarginOf(plies) == Decision::Stopped) return stoppedResult(result_.weight);
  return finished();
}

// A vector of the certified weight searched for a design of a larger smallest margin than the
// best, in rounds as the weight was: its neighbour pairs, groups and sides first (a few panels
// that cannot together beat the margin are proved so in a moment, where the whole vector's
// search meets them only after wandering over every other panel's choices), then its own search
// within a budget, all again with four times the budget. The search is kept from round to
// round, and each round beats the best margin known by then.
LightestRun::Decision LightestRun::raiseMarginOf(const std::vector<int>& plies) {
  const std::unique_ptr<CountVectorSearch> search = makeCountVectorSearch(structure_, plies, &completions_);
  std::size_t largest = 3;
  for (std::int64_t budget = kFirstGroupBudget;;
       budget *= 4, largest = std::min(largest + 1, NeighbourConflicts::kLargestGroup)) {
    const std::int64_t own = budget * kVectorBudgetFactor;
    if (!conflicts_.partsMayBeat(plies, result_.margin, budget, largest, own))
      return stopped() ? stoppedAt(plies) : Decision::Searched;
    search->beatMargin(result_.margin);
    search->limitPositions(own);
    const Decision decision = tryVector(*search, plies, result_.weight, false, true);
    if (decision != Decision::Undecided) return decision;
  }
}

// --- Count vectors decided elsewhere (other processes or machines) ---
//
// The enumeration stays here; each vector handed out is decided by a decider of its own, and its
// verdict settled here in whatever order it comes back. Vectors are handed out by increasing
// weight, so every vector lighter than the last one handed out has been handed out (or ruled out
// by a pair or group), and the certified bound is the lighter of that weight and the lightest
// vector not settled.

std::optional<std::pair<std::vector<int>, double>> LightestRun::handOut() {
  std::vector<int> plies;
  double weight = 0.0;
  const bool untried = enumeration_.lightestUntried(plies, weight);
  if (stopped()) return std::nullopt;
  if (!untried || weightCertified(weight)) {
    exhausted_ = true;
    return std::nullopt;
  }
  certified_ = weight;
  handedOut_[plies] = weight;
  return std::make_pair(plies, weight);
}

void LightestRun::settle(const std::vector<int>& plies, const VectorVerdict& verdict) {
  const auto out = handedOut_.find(plies);
  if (out == handedOut_.end()) return;
  const double weight = out->second;
  result_.nodes += verdict.nodes;
  result_.guidesAnnealed += verdict.guidesAnnealed;
  if (verdict.kind == VectorVerdict::Kind::Undecided) {
    undecided_[plies] = weight;
    handedOut_.erase(out);
    return;
  }
  handedOut_.erase(out);
  if (verdict.kind == VectorVerdict::Kind::GroupFails) {
    conflicts_.learnGroup(verdict.group, verdict.groupPlies);
    return;
  }
  ++result_.vectorsTried;
  tried_.insert(plies);
  if (verdict.kind == VectorVerdict::Kind::Design) {
    result_.keep(verdict.design, verdict.margin, weight);
    lightest_.push_back(plies);
  } else {
    recordEmpty(plies, weight, verdict.nodes);
  }
}

// Every vector handed out has been settled: the weight certified, the margin raised here; or
// undecided vectors (stopped) bound what is certified.
LightestBlend LightestRun::concludeShared() {
  std::stable_sort(result_.ruledOut.begin(), result_.ruledOut.end(), [](const auto& a, const auto& b) {
    return a.weight < b.weight || (a.weight == b.weight && a.plies < b.plies);
  });
  double open = std::numeric_limits<double>::infinity();
  for (const auto* vectors : {&undecided_, &handedOut_})
    for (const auto& [plies, weight] : *vectors)
      if (weight < open) open = weight, result_.pending = plies;
  // Vectors not handed out yet weigh at least the last one handed out.
  if (!exhausted_) open = std::min(open, certified_);
  // Asked for the weight only, vectors left open as heavy as the design do not matter.
  if (open < std::numeric_limits<double>::infinity() && !(weightOnly_ && weightCertified(open))) {
    if (result_.found) open = std::min(open, result_.weight);
    return stoppedResult(open);
  }
  // Designs of heavier vectors may have come back before a lighter vector's.
  std::erase_if(lightest_, [&](const std::vector<int>& plies) {
    return heavierThan(structure_.weightOf(plies), result_.weight);
  });
  std::sort(lightest_.begin(), lightest_.end());
  return raiseMargin();
}

// One vector decided for a run elsewhere: its groups, its annealing and its own search, in
// rounds until decided or stopped.
VectorVerdict LightestRun::decideAlone(const std::vector<int>& plies, const StopRequest* stop) {
  setStop(stop);
  VectorVerdict verdict;
  const std::int64_t nodes = result_.nodes, guides = result_.guidesAnnealed;
  lastFound_ = false;
  const Decision decision = decideVector(plies, structure_.weightOf(plies), false);
  verdict.nodes = result_.nodes - nodes;
  verdict.guidesAnnealed = result_.guidesAnnealed - guides;
  if (decision == Decision::Stopped) return verdict;
  if (decision == Decision::GroupFails) {
    verdict.kind = VectorVerdict::Kind::GroupFails;
    verdict.group = conflicts_.lastFailedGroup().first;
    verdict.groupPlies = conflicts_.lastFailedGroup().second;
    return verdict;
  }
  verdict.kind = lastFound_ ? VectorVerdict::Kind::Design : VectorVerdict::Kind::Empty;
  if (lastFound_) verdict.design = lastDesign_, verdict.margin = lastMargin_;
  return verdict;
}

// A vector is decided by its groups of neighbours and by its own search, in rounds of growing
// searches: a conflict among a few panels is proved by their group in a moment, while the whole
// vector wanders over every panel's choices before it meets it; and a vector that holds a design
// may show it long before its groups are all settled. Round k searches the groups of up to 3 + k
// panels (the larger ones are many, and each costs more). The vector's own search is kept from
// round to round, so that a round goes on past what the last one proved rather than searching
// it again.
//
// Most vectors just below the lightest design hold no design and their own search shows it
// within a few positions, so a first look of that search comes before the annealing and the
// sides, which such a vector would pay for in vain. The first look builds the guide outer to
// inner, where every panel's bounds cut from the first row; the longer rounds build it thinnest
// class first, where a conflict among the thin and middle panels that lies deep in the guide
// (the horseshoe's, whose arms meet in every class) shows within the first classes. A vector
// still open after the first look has the sides that one or two joints cut off (the arms of the
// structure) searched before its own longer search: an arm blends more freely than the whole and
// is searched over fewer panels, so where it holds the conflict its proof comes first, and it
// rules out every vector with its totals.
LightestRun::Decision LightestRun::decideVector(const std::vector<int>& plies, double weight, bool certifying) {
  std::unique_ptr<CountVectorSearch> search;
  std::size_t largest = 3;
  for (std::int64_t budget = kFirstGroupBudget;;
       budget *= 4, largest = std::min(largest + 1, NeighbourConflicts::kLargestGroup)) {
    if (!conflicts_.classGroupsHold(plies, budget) || !conflicts_.groupsHold(plies, budget, largest))
      return stopped() ? stoppedAt(plies) : Decision::GroupFails;
    if (search == nullptr) {
      ++result_.vectorsTried;
      const std::unique_ptr<CountVectorSearch> glance = makeCountVectorSearch(structure_, plies, &completions_);
      glance->limitPositions(kFirstLook);
      const Decision decided = tryVector(*glance, plies, weight, true, certifying);
      if (decided != Decision::Undecided) return decided;
      search = makeCountVectorSearch(structure_, plies, &completions_, TableOrder::ThinnestClassFirst);
    }
    if (annealedDesign(plies, weight, budget * kAnnealFactor)) return Decision::Searched;
    if (stopped()) return stoppedAt(plies);
    // From the second round on, the sides are searched longer than the vector: a side of seven
    // or eight panels runs through its positions several times faster than the whole vector.
    const std::int64_t own = budget * kVectorBudgetFactor;
    if (!conflicts_.cutSidesHold(plies, budget == kFirstGroupBudget ? own : own * kSideShare))
      return stopped() ? stoppedAt(plies) : Decision::GroupFails;
    search->limitPositions(own);
    const Decision decision = tryVector(*search, plies, weight, true, certifying);
    if (decision != Decision::Undecided) return decision;
  }
}

LightestRun::Decision LightestRun::stoppedAt(const std::vector<int>& plies) {
  result_.pending = plies;
  return Decision::Stopped;
}

// A design of the vector found by annealing its guide, started from the lightest design known
// (finding none proves nothing). Taken as the vector's first design.
bool LightestRun::annealedDesign(const std::vector<int>& plies, double weight, std::int64_t evaluations) {
  const AnnealingOutcome outcome =
      lightDesign_.anneal(plies, evaluations, result_.found ? &result_.design : nullptr);
  lastFound_ = outcome.found;
  if (!outcome.found) return false;
  lastDesign_ = outcome.design, lastMargin_ = outcome.margin;
  if (progress_) progress_(plies, weight);
  result_.keep(outcome.design, outcome.margin, weight);
  return true;
}

// The start vector: its pairs and groups first (a conflict among a few panels is proved in a
// moment), then a search for a first design. False when stopped.
bool LightestRun::tryStart() {
  bool fits = true;
  for (std::size_t q = 0; q < start_.size() && fits; ++q) fits = conflicts_.fitsEarlierPanels(static_cast<int>(q), start_);
  const Decision decision = fits ? decideVector(start_, structure_.weightOf(start_), false) : Decision::GroupFails;
  if (decision == Decision::Stopped || stopped()) return false;
  result_.startOutcome = decision == Decision::GroupFails ? "no design: a pair or group of its panels cannot be blended"
                         : lastFound_                     ? "a design found"
                                                          : "no design (searched)";
  return true;
}

// Runs a vector's search (for a first design only, or as set up).
LightestRun::Decision LightestRun::tryVector(CountVectorSearch& search, const std::vector<int>& plies, double weight,
                                             bool firstOnly, bool certifying) {
  if (progress_) progress_(plies, weight);
  if (firstOnly) search.stopAtFirstDesign();
  const VectorSearchOutcome outcome = search.run(stop_);
  result_.nodes += outcome.nodes;
  lastFound_ = outcome.found;
  if (outcome.found) {
    lastDesign_ = outcome.design, lastMargin_ = outcome.margin;
    result_.keep(outcome.design, outcome.margin, weight);
  }
  if (outcome.status == VectorSearchOutcome::Status::Stopped) return stopped() ? stoppedAt(plies) : Decision::Undecided;
  if (firstOnly && certifying && !outcome.found) recordEmpty(plies, weight, outcome.nodes);
  return Decision::Searched;
}

void LightestRun::recordEmpty(const std::vector<int>& plies, double weight, std::int64_t nodes) {
  result_.ruledOut.push_back({plies, weight, "no blended design (" + std::to_string(nodes) + " positions searched)"});
}

// An edge-wise design annealed as a table keeps its guide while the run goes on (the start of
// the next annealing), not in the result.
LightestBlend LightestRun::reported() {
  if (structure_.blending.form == BlendForm::EdgeWise) result_.design.guide.clear();
  return result_;
}

LightestBlend LightestRun::finished() {
  result_.status = result_.found ? LightestBlend::Status::Optimal : LightestBlend::Status::Infeasible;
  result_.lowerBound = result_.found ? result_.weight : 0.0;
  result_.marginMaximised = result_.found && !weightOnly_;
  return reported();
}

// Stopped: every vector lighter than `pending` was proved empty.
LightestBlend LightestRun::stoppedResult(double pending) {
  result_.status = LightestBlend::Status::Stopped;
  result_.lowerBound = pending;
  return reported();
}

}  // namespace kelm
