#include "blend/table_growth.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>

#include "blend/blend_check.h"
#include "blend/stiffened_panels.h"
#include "laminate/design_rules.h"

namespace kelm {

namespace {

// What a broken rule and a drop run beyond the limit weigh against a requirement's relative
// shortfall, as in the annealing of guides.
constexpr double kRuleBreak = 0.3;
constexpr double kDropExcess = 0.3;
// Insertions into a class's laminate are all tried when there are at most this many; beyond,
// a climb judges this many.
constexpr std::int64_t kEveryInsertion = 60000;
constexpr std::int64_t kClimbedInsertions = 30000;
constexpr std::int64_t kClimbRestart = 2000;

// A row of the guide being grown, with the half-position count of the class that brought it in:
// a class keeps every row brought in by it or a thinner one.
struct Row {
  int code = kCode0;
  int intro = 0;
};

// One inserted row: before which row of the thinner class's laminate it goes, and its code.
struct Insertion {
  int slot = 0;
  int code = kCode0;
};

// How a class laminate serves its panels: 0 when every one meets its rules and requirements and
// drops within the limit towards every thinner neighbour; the panels that fail on their own and
// the thinner neighbours a drop run is too long towards.
struct Judgement {
  double cost = std::numeric_limits<double>::infinity();
  double margin = -std::numeric_limits<double>::infinity();
  std::vector<int> failing;
  std::vector<int> thinnerBlocked;

  bool betterThan(const Judgement& other) const {
    if (cost != other.cost) return cost < other.cost;
    return cost == 0.0 && margin > other.margin;
  }
};

struct ThinnerNeighbour {
  int panel;
  int half;  // its class's half positions
};

class TableGrower {
 public:
  TableGrower(const BlendedStructure& structure, const std::vector<std::vector<int>>& options, const StopRequest* stop)
      : structure_(structure), options_(options), stop_(stop), index_(options.size(), 0), plies_(options.size()) {
    for (std::size_t p = 0; p < options.size(); ++p) plies_[p] = options[p].front();
    laminates_.resize(options.size());
  }

  GrownTable run() {
    GrownTable result;
    int done = 0;  // the rows hold every class up to this many half positions
    while (!stopped()) {
      const int half = nextClass(done);
      if (half == 0) return finished(result);
      prepareClass(half);
      std::vector<Row> best;
      const Judgement judged = bestInsertion(done, half, best);
      if (stopped()) break;
      if (judged.cost == 0.0) {
        rows_ = std::move(best);
        done = half;
        continue;
      }
      const int from = raise(judged, half);
      if (from == 0) break;
      std::erase_if(rows_, [&](const Row& row) { return row.intro >= from; });
      done = static_cast<int>(rows_.size());
    }
    result.laminatesTried = tried_;
    return result;
  }

 private:
  bool stopped() const { return stop_ != nullptr && stop_->requested(); }

  // The thinnest class thicker than `done` half positions, 0 when none is.
  int nextClass(int done) const {
    int next = 0;
    for (int total : plies_) {
      const int half = halfPositions(total);
      if (half > done && (next == 0 || half < next)) next = half;
    }
    return next;
  }

  // The panels of the class, their thinner neighbours, and the thinner classes of even totals.
  void prepareClass(int half) {
    members_.clear();
    thinner_.clear();
    evenBelow_.clear();
    for (std::size_t p = 0; p < plies_.size(); ++p) {
      const int own = halfPositions(plies_[p]);
      if (own == half) members_.push_back(static_cast<int>(p));
      if (own < half && plies_[p] % 2 == 0) evenBelow_.insert(own);
    }
    for (const auto& [a, b] : structure_.adjacent) {
      const int ha = halfPositions(plies_[a]), hb = halfPositions(plies_[b]);
      if (ha == half && hb < half) thinner_.push_back({b, hb});
      if (hb == half && ha < half) thinner_.push_back({a, ha});
    }
    thinnest_ = half;
    for (int total : plies_) thinnest_ = std::min(thinnest_, halfPositions(total));
  }

  // The best laminate of the class `half` from the built rows (every class up to `done`) with
  // plies inserted after the covered ones: every insertion when they are few, else a climb.
  Judgement bestInsertion(int done, int half, std::vector<Row>& best) {
    const int covered = done == 0 ? 0 : std::min(structure_.blending.covering, thinnest_);
    const int added = half - done;
    const int slots = done - covered + 1;
    Judgement bestJudged;
    std::vector<Insertion> inserted(added);
    if (insertionCount(slots, added) <= kEveryInsertion) {
      everyInsertion(inserted, 0, covered, done, half, bestJudged, best);
    } else {
      climb(inserted, covered, done, half, bestJudged, best);
    }
    return bestJudged;
  }

  // Multisets of `added` slots among `slots`, each insertion of three codes; capped.
  static std::int64_t insertionCount(int slots, int added) {
    double count = 1.0;
    for (int k = 1; k <= added; ++k) count = count * (slots + k - 1) / k * 3.0;
    return count > 1e12 ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(count);
  }

  void everyInsertion(std::vector<Insertion>& inserted, std::size_t k, int firstSlot, int done, int half,
                      Judgement& bestJudged, std::vector<Row>& best) {
    if (stopped()) return;
    if (k == inserted.size()) {
      consider(inserted, half, bestJudged, best);
      return;
    }
    for (int slot = firstSlot; slot <= done; ++slot)
      for (int code = 0; code < 3; ++code) {
        inserted[k] = {slot, code};
        everyInsertion(inserted, k + 1, slot, done, half, bestJudged, best);
      }
  }

  // Hill climbing over the inserted rows' slots and codes (equal scores accepted), from a
  // random start again after a while without progress.
  void climb(std::vector<Insertion>& inserted, int covered, int done, int half, Judgement& bestJudged,
             std::vector<Row>& best) {
    std::mt19937_64 random(static_cast<std::uint64_t>(half) * 7919u + tried_);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<std::uint64_t>(n)); };
    const auto draw = [&] {
      for (Insertion& one : inserted) one = {covered + below(done - covered + 1), below(3)};
    };
    draw();
    Judgement current = consider(inserted, half, bestJudged, best);
    std::int64_t sinceProgress = 0;
    for (std::int64_t step = 0; step < kClimbedInsertions && !stopped(); ++step) {
      if (++sinceProgress > kClimbRestart) draw(), current = consider(inserted, half, bestJudged, best), sinceProgress = 0;
      const std::vector<Insertion> before = inserted;
      Insertion& one = inserted[below(static_cast<int>(inserted.size()))];
      if (below(2) == 0)
        one.code = (one.code + 1 + below(2)) % 3;
      else
        one.slot = covered + below(done - covered + 1);
      Judgement next = consider(inserted, half, bestJudged, best);
      if (next.betterThan(current)) sinceProgress = 0;
      if (!current.betterThan(next))
        current = std::move(next);
      else
        inserted = before;
    }
  }

  // The laminate with these insertions judged, and kept when the best so far.
  Judgement consider(const std::vector<Insertion>& inserted, int half, Judgement& bestJudged, std::vector<Row>& best) {
    std::vector<Insertion> sorted = inserted;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Insertion& a, const Insertion& b) { return a.slot < b.slot; });
    candidate_.clear();
    std::size_t next = 0;
    for (std::size_t r = 0; r <= rows_.size(); ++r) {
      for (; next < sorted.size() && sorted[next].slot == static_cast<int>(r); ++next)
        candidate_.push_back({sorted[next].code, half});
      if (r < rows_.size()) candidate_.push_back(rows_[r]);
    }
    Judgement judged = judge(half);
    if (judged.betterThan(bestJudged)) bestJudged = judged, best = candidate_;
    return judged;
  }

  Judgement judge(int half) {
    ++tried_;
    Judgement judged;
    judged.cost = 0.0;
    judged.margin = std::numeric_limits<double>::infinity();
    judgeDrops(judged);
    judgeMidPlane(half, judged);
    for (int p : members_) judgePanel(p, judged);
    return judged;
  }

  // Each thinner neighbour's class drops the rows brought in above it: no more than the limit
  // in a row.
  void judgeDrops(Judgement& judged) const {
    for (const ThinnerNeighbour& neighbour : thinner_) {
      int run = 0, excess = 0;
      for (const Row& row : candidate_) {
        run = row.intro <= neighbour.half ? 0 : run + 1;
        if (run > structure_.blending.maxDrops) ++excess;
      }
      if (excess == 0) continue;
      judged.cost += kDropExcess * excess;
      judged.thinnerBlocked.push_back(neighbour.panel);
    }
  }

  // An odd total's innermost row is its single mid-plane ply: a thinner even class that keeps
  // that row holds it as a pair of plies, more than the thicker panel has.
  void judgeMidPlane(int half, Judgement& judged) const {
    const int lastIntro = candidate_.back().intro;
    if (lastIntro == half) return;
    const auto even = evenBelow_.lower_bound(lastIntro);
    if (even == evenBelow_.end()) return;
    for (int p : members_)
      if (plies_[p] % 2 != 0) judged.cost += kRuleBreak;
  }

  void judgePanel(int p, Judgement& judged) {
    StackingSequence& laminate = laminates_[p];
    laminate.setPlyTotal(plies_[p]);
    for (int position = 1; position <= laminate.plyCount(); ++position) laminate.setTheta(position, candidate_[position - 1].code);
    const BlendPanel& panel = structure_.panels[p];
    const PanelTotal& total = *panel.at(plies_[p]);
    double cost = checkComplete(laminate, panel.rulesFor(plies_[p])) ? 0.0 : kRuleBreak;
    const PanelValues values = panelValues(total, laminate);
    for (std::size_t s = 0; s < total.surfaces.size(); ++s) cost += shortfall(total.surfaces[s], values.values[s]);
    judged.margin = std::min(judged.margin, values.margin);
    if (cost == 0.0) return;
    judged.cost += cost;
    judged.failing.push_back(p);
  }

  // A required surface's shortfall relative to its limit (nothing when it is met).
  static double shortfall(const ModeSurface& mode, double value) {
    if (!mode.required || value >= mode.limit) return 0.0;
    const double scale = std::fabs(mode.limit) > 0.0 ? std::fabs(mode.limit) : 1.0;
    return std::isnan(value) ? 1.0 : (mode.limit - value) / scale;
  }

  // The class's failing panels raised a total; without any, the thinner neighbours a drop run is
  // too long towards. The half positions of the thinnest class to grow again (its rows and those
  // above discarded), or 0 when a panel to raise has no heavier total.
  int raise(const Judgement& judged, int half) {
    std::vector<int> panels = judged.failing.empty() ? judged.thinnerBlocked : judged.failing;
    std::sort(panels.begin(), panels.end());
    panels.erase(std::unique(panels.begin(), panels.end()), panels.end());
    if (panels.empty()) return 0;
    int from = half;
    for (int p : panels) {
      if (index_[p] + 1 >= options_[p].size()) return 0;
      from = std::min(from, halfPositions(plies_[p]));
      plies_[p] = options_[p][++index_[p]];
    }
    return from;
  }

  GrownTable& finished(GrownTable& result) const {
    result.laminatesTried = tried_;
    const std::vector<int> classes = countClasses(plies_);
    BlendedDesign design;
    design.plies = plies_;
    for (const Row& row : rows_) {
      const int level = static_cast<int>(std::lower_bound(classes.begin(), classes.end(), row.intro) - classes.begin()) + 1;
      design.guide.push_back({row.code, level});
    }
    design.laminates = laminatesFromGuide(design.guide, plies_);
    chooseStiffeners(structure_, design);
    const BlendVerdict verdict = checkBlendedDesign(structure_, design);
    if (!verdict.holds()) return result;
    result.found = true;
    result.design = std::move(design);
    result.margin = verdict.margin;
    return result;
  }

  const BlendedStructure& structure_;
  const std::vector<std::vector<int>>& options_;
  const StopRequest* stop_;
  std::vector<std::size_t> index_;  // each panel's total among its options
  std::vector<int> plies_;
  std::vector<Row> rows_;       // the guide grown so far, outer first
  std::vector<Row> candidate_;  // the class laminate being judged
  std::vector<StackingSequence> laminates_;
  std::vector<int> members_;
  std::vector<ThinnerNeighbour> thinner_;
  std::set<int> evenBelow_;  // thinner classes holding an even total
  int thinnest_ = 0;
  std::int64_t tried_ = 0;
};

}  // namespace

GrownTable growTable(const BlendedStructure& structure, const std::vector<std::vector<int>>& options,
                     const StopRequest* stop) {
  return TableGrower(structure, options, stop).run();
}

}  // namespace kelm
