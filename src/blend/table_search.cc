#include "blend/table_search.h"

#include <algorithm>
#include <limits>

#include "alt/count_coupled_bound.h"
#include "blend/blend_check.h"
#include "blend/margin_combination.h"
#include "laminate/design_rules.h"
#include "laminate/panel_design.h"
#include "search/search_constants.h"

namespace kelm {

namespace {

// Two count classes that meet at some panel edge: the thicker keeps positions of levels up to
// `high`, the thinner up to `low`.
struct ClassPair {
  int high;
  int low;
  bool operator==(const ClassPair& other) const { return high == other.high && low == other.low; }
};

}  // namespace

struct TableSearch::State {
  const BlendedStructure& structure;
  std::vector<int> plies;
  std::vector<int> classes;  // half-position count of each class, ascending
  int levels = 0;
  int positions = 0;
  int covered = 0;
  int maxDrops = 0;
  std::vector<int> panelClass;  // 1-based
  // The distinct totals (a class holds an even total and the odd one below it, whose innermost
  // position is its mid-plane ply): each has its own laminate, cut from the same guide.
  std::vector<int> shapes;
  std::vector<int> shapeClass;
  std::vector<int> panelShape;
  std::vector<std::vector<int>> panelsOfShape;
  std::vector<LaminateRules> rules;
  // The bounds keep the address of the rules they count under: `rules` is reserved once and
  // never grows after, so the addresses hold for the search's whole life.
  LaminateRules noStiffener;
  std::vector<const PanelTotal*> totals;
  std::vector<std::vector<CountCoupledBound>> bounds;  // by panel and surface
  // By panel: bounds of mean margins of its required surfaces (the smallest margin is below
  // each).
  std::vector<std::vector<CountCoupledBound>> combined;
  std::vector<ClassPair> pairs;

  // The path: laminates of each total and each pair's current run of drops, per depth.
  std::vector<std::vector<PanelDesign>> laminates;  // [depth][shape], skin only
  std::vector<std::vector<int>> runs;               // [depth][pair]
  std::vector<int> remaining;                       // open positions per level
  std::vector<GuidePosition> guide;
  std::vector<double> panelMargin;

  bool firstOnly = false;
  std::int64_t positionLimit = 0;
  // A design must beat this smallest margin (the best found, here or in another search).
  bool beating = false;
  double toBeat = 0.0;
  const StopRequest* stop = nullptr;
  TableSearchOutcome outcome;
  bool finished = false;

  State(const BlendedStructure& s, const std::vector<int>& p) : structure(s), plies(p) {}
  void prepare();
  void search(int depth);
  bool dropsAllow(int depth, int level);
  bool place(int depth, int level, int code);
  bool panelCanStillWin(int panel, const PanelDesign& partial);
  bool completePanelHolds(int panel, const StackingSequence& laminate);
  void recordLeaf();
};

TableSearch::TableSearch(const BlendedStructure& structure, const std::vector<int>& plies)
    : state_(std::make_unique<State>(structure, plies)) {
  state_->prepare();
}

TableSearch::~TableSearch() = default;

void TableSearch::State::prepare() {
  classes = countClasses(plies);
  levels = static_cast<int>(classes.size());
  positions = classes.back();
  covered = std::min(structure.blending.covering, classes.front());
  maxDrops = structure.blending.maxDrops;
  shapes = plies;
  std::sort(shapes.begin(), shapes.end());
  shapes.erase(std::unique(shapes.begin(), shapes.end()), shapes.end());
  for (int total : shapes) shapeClass.push_back(classOf(classes, total));
  panelsOfShape.assign(shapes.size(), {});
  noStiffener.balance = false;
  rules.reserve(plies.size());
  for (std::size_t p = 0; p < plies.size(); ++p) {
    const BlendPanel& panel = structure.panels[p];
    panelClass.push_back(classOf(classes, plies[p]));
    panelShape.push_back(static_cast<int>(std::lower_bound(shapes.begin(), shapes.end(), plies[p]) - shapes.begin()));
    panelsOfShape[panelShape.back()].push_back(static_cast<int>(p));
    rules.push_back(panel.rulesFor(plies[p]));
    totals.push_back(panel.at(plies[p]));
    bounds.emplace_back(totals.back()->surfaces.size());
    for (std::size_t s = 0; s < totals.back()->surfaces.size(); ++s)
      bounds.back()[s].setModel(totals.back()->surfaces[s].surface, plies[p], 0, rules.back(), noStiffener);
    const std::vector<ResponseSurface> means = requiredCombinations(*totals.back());
    combined.emplace_back(means.size());
    for (std::size_t c = 0; c < means.size(); ++c)
      combined.back()[c].setModel(means[c], plies[p], 0, rules.back(), noStiffener);
  }
  for (const auto& [a, b] : structure.adjacent) {
    const ClassPair pair{std::max(panelClass[a], panelClass[b]), std::min(panelClass[a], panelClass[b])};
    if (pair.high != pair.low && std::find(pairs.begin(), pairs.end(), pair) == pairs.end()) pairs.push_back(pair);
  }
  laminates.assign(positions + 1, std::vector<PanelDesign>(shapes.size()));
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    laminates[0][t].skin.setPlyTotal(shapes[t]);
    laminates[0][t].stiffener.setPlyTotal(0);
  }
  runs.assign(positions + 1, std::vector<int>(pairs.size(), 0));
  remaining.assign(levels, 0);
  for (int c = 0; c < levels; ++c) remaining[c] = classes[c] - (c > 0 ? classes[c - 1] : 0);
  guide.resize(positions);
  panelMargin.assign(plies.size(), 0.0);
}

TableSearchOutcome TableSearch::run(const StopRequest* stop) {
  State& s = *state_;
  s.stop = stop;
  s.firstOnly = firstOnly_;
  s.positionLimit = positionLimit_;
  s.beating = beating_;
  s.toBeat = toBeat_;
  s.search(0);
  if (s.outcome.status != TableSearchOutcome::Status::Stopped)
    s.outcome.status = s.outcome.found ? TableSearchOutcome::Status::Found : TableSearchOutcome::Status::Infeasible;
  return s.outcome;
}

void TableSearch::State::search(int depth) {
  if (finished) return;
  if ((stop != nullptr && stop->requested()) || (positionLimit > 0 && outcome.nodes > positionLimit)) {
    outcome.status = TableSearchOutcome::Status::Stopped;
    finished = true;
    return;
  }
  if (depth == positions) {
    recordLeaf();
    return;
  }
  for (int level = 1; level <= levels && !finished; ++level) {
    if (remaining[level - 1] == 0 || (depth < covered && level != 1)) continue;
    --remaining[level - 1];
    if (dropsAllow(depth, level)) {
      for (int code = kCode0; code <= kCode90 && !finished; ++code) {
        ++outcome.nodes;
        if (!place(depth, level, code)) continue;
        guide[depth] = {code, level};
        search(depth + 1);
      }
    }
    ++remaining[level - 1];
  }
}

// The runs of dropped positions after a position of `level` (already taken from `remaining`),
// and whether each pair can still place its remaining drops: between two kept positions, and
// after the last, at most maxDrops each.
bool TableSearch::State::dropsAllow(int depth, int level) {
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const ClassPair& pair = pairs[i];
    int run = runs[depth][i];
    if (level <= pair.low)
      run = 0;
    else if (level <= pair.high)
      ++run;
    if (run > maxDrops) return false;
    int dropped = 0, kept = 0;
    for (int l = 1; l <= pair.high; ++l) (l <= pair.low ? kept : dropped) += remaining[l - 1];
    if (dropped > (maxDrops - run) + maxDrops * kept) return false;
    runs[depth + 1][i] = run;
  }
  return true;
}

bool TableSearch::State::place(int depth, int level, int code) {
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    PanelDesign& next = laminates[depth + 1][t];
    next.skin = laminates[depth][t].skin;
    if (shapeClass[t] >= level) next.skin.setTheta(next.skin.setCount() + 1, code);
  }
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    if (shapeClass[t] < level) continue;
    const PanelDesign& partial = laminates[depth + 1][t];
    for (int p : panelsOfShape[t]) {
      if (!checkPartial(partial.skin, rules[p])) return false;
      if (partial.skin.complete() ? !completePanelHolds(p, partial.skin) : !panelCanStillWin(p, partial))
        return false;
    }
  }
  return true;
}

bool TableSearch::State::completePanelHolds(int panel, const StackingSequence& laminate) {
  if (!checkComplete(laminate, rules[panel])) return false;
  const PanelValues values = panelValues(*totals[panel], laminate);
  if (!values.requirementsHold) return false;
  if (beating && !(values.margin > toBeat)) return false;
  panelMargin[panel] = values.margin;
  return true;
}

// Each surface's bound over the completions the panel's rules allow: a required surface must
// still reach its limit, and every surface must still beat the best design's smallest margin.
bool TableSearch::State::panelCanStillWin(int panel, const PanelDesign& partial) {
  const std::vector<ModeSurface>& surfaces = totals[panel]->surfaces;
  for (std::size_t s = 0; s < surfaces.size(); ++s) {
    const ModeSurface& mode = surfaces[s];
    double needed = -std::numeric_limits<double>::infinity();
    if (mode.required) needed = mode.limit;
    if (beating) needed = std::max(needed, mode.limit + toBeat);
    if (needed == -std::numeric_limits<double>::infinity()) continue;
    const double bound = bounds[panel][s].evaluate(partial, needed);
    if (bound < needed - kTieTolerance) return false;
    if (beating && bound <= mode.limit + toBeat) return false;
  }
  // A mean of required margins must still reach 0 (and beat the best margin): its bound is
  // below the mean's value of every completion, which is not below the smallest margin.
  const double needed = beating ? std::max(0.0, toBeat) : 0.0;
  for (CountCoupledBound& mean : combined[panel]) {
    const double bound = mean.evaluate(partial, needed);
    if (bound < needed - kTieTolerance) return false;
    if (beating && bound <= toBeat) return false;
  }
  return true;
}

void TableSearch::State::recordLeaf() {
  double margin = std::numeric_limits<double>::infinity();
  for (double m : panelMargin) margin = std::min(margin, m);
  outcome.found = true;
  outcome.margin = margin;
  beating = true;
  toBeat = margin;
  BlendedDesign& design = outcome.design;
  design.plies = plies;
  design.guide = guide;
  design.laminates.clear();
  for (std::size_t p = 0; p < plies.size(); ++p)
    design.laminates.push_back(laminates[positions][panelShape[p]].skin);
  if (firstOnly) finished = true;
}

}  // namespace kelm
