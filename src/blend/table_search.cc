#include "blend/table_search.h"

#include <algorithm>
#include <limits>

#include "blend/failed_states.h"
#include "blend/panel_bounds.h"
#include "laminate/design_rules.h"
#include "blend/stiffened_panels.h"
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

struct TableSearch::State : VectorSearchRun {
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
  // The totals by parity: an even total must not end on the row where a thicker odd one ends,
  // or it would hold that mid-plane ply as a pair.
  std::vector<char> shapeOdd;
  std::vector<int> panelShape;
  std::vector<std::vector<int>> panelsOfShape;
  std::vector<std::unique_ptr<PanelBounds>> panelBounds;
  // Each panel's set of laminates, when the cache holds it (else null), and where the panel's
  // laminate stands in it at each depth.
  CompletionsCache* cache = nullptr;
  std::vector<const PanelCompletions*> completions;
  std::vector<std::vector<int>> setNodes;  // [depth][panel]
  std::vector<ClassPair> pairs;

  // The path: laminates of each total and each pair's current run of drops, per depth.
  std::vector<std::vector<PanelDesign>> laminates;  // [depth][shape], skin only
  std::vector<std::vector<int>> runs;               // [depth][pair]
  std::vector<int> remaining;                       // open positions per level
  std::vector<GuidePosition> guide;
  std::vector<double> panelMargin;
  // The positions that can follow at each depth, most promising first (the largest slack of the
  // most endangered panel): a first design comes early, and a good margin cuts early.
  struct Child {
    GuidePosition position;
    double slack;
  };
  std::vector<std::vector<Child>> children;
  // States searched without a design: each shape's laminate so far and each pair's run of drops
  // determine all that can follow.
  std::unique_ptr<FailedStates> failed;
  int codeWords = 0;  // per shape
  std::vector<std::vector<std::uint64_t>> keys;  // [depth]
  std::int64_t designsRecorded = 0;


  State(const BlendedStructure& s, const std::vector<int>& p, CompletionsCache* c) : structure(s), plies(p), cache(c) {}
  void prepare();
  void search(int depth);
  bool dropsAllow(int depth, int level);
  bool place(int depth, int level, int code, double* slack = nullptr);
  bool pairOnMidPlane(int depth, int level) const;
  bool panelCanWin(int p, int depth, int code, const PanelDesign& partial, double* slack);
  void rankChildren(int depth);
  void recordLeaf();
  const std::uint64_t* stateKey(int depth);
};

TableSearch::TableSearch(const BlendedStructure& structure, const std::vector<int>& plies,
                         CompletionsCache* completions)
    : state_(std::make_unique<State>(structure, plies, completions)) {
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
  for (int total : shapes) shapeClass.push_back(classOf(classes, total)), shapeOdd.push_back(total % 2 != 0);
  panelsOfShape.assign(shapes.size(), {});
  for (std::size_t p = 0; p < plies.size(); ++p) {
    panelClass.push_back(classOf(classes, plies[p]));
    panelShape.push_back(static_cast<int>(std::lower_bound(shapes.begin(), shapes.end(), plies[p]) - shapes.begin()));
    panelsOfShape[panelShape.back()].push_back(static_cast<int>(p));
    panelBounds.push_back(std::make_unique<PanelBounds>(structure.panels[p], plies[p]));
    completions.push_back(nullptr);
  }
  setNodes.assign(positions + 1, std::vector<int>(plies.size(), PanelCompletions::kRoot));
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
  children.assign(positions, {});
  for (auto& list : children) list.reserve(3 * levels);
  if (positions <= StackingSequence::kPackablePositions) {
    codeWords = positions <= 32 ? 1 : 2;
    const std::size_t words = shapes.size() * codeWords + (shapes.size() + 3) / 4 + (pairs.size() + 3) / 4;
    failed = std::make_unique<FailedStates>(words);
    keys.assign(positions + 1, std::vector<std::uint64_t>(words, 0));
  }
}

// The state at this depth as words: each shape's codes and count of positions set, each pair's
// run of drops.
const std::uint64_t* TableSearch::State::stateKey(int depth) {
  std::uint64_t* key = keys[depth].data();
  std::fill(key, key + keys[depth].size(), 0);
  std::size_t w = 0;
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    const StackingSequence& laminate = laminates[depth][t].skin;
    const StackingSequence::PackedCodes codes = laminate.packedCodes();
    for (int i = 0; i < codeWords; ++i) key[w++] = codes.words[i];
  }
  for (std::size_t t = 0; t < shapes.size(); ++t)
    key[w + t / 4] |= static_cast<std::uint64_t>(laminates[depth][t].skin.setCount()) << (16 * (t % 4));
  w += (shapes.size() + 3) / 4;
  for (std::size_t i = 0; i < pairs.size(); ++i)
    key[w + i / 4] |= static_cast<std::uint64_t>(runs[depth][i] & 0xffff) << (16 * (i % 4));
  return key;
}

VectorSearchOutcome TableSearch::run(const StopRequest* stop) {
  begin(*state_, stop);
  // The sets are asked for here, where the search knows how far it may go: a set is built
  // only when it costs no more than that.
  if (state_->cache != nullptr)
    for (std::size_t p = 0; p < state_->plies.size(); ++p)
      state_->completions[p] = state_->cache->at(state_->structure.panels[p], state_->plies[p], settings_.positionLimit, stop);
  state_->search(0);
  return state_->concluded();
}

void TableSearch::State::search(int depth) {
  if (mustEnd()) return;
  if (depth == positions) {
    recordLeaf();
    return;
  }
  const std::uint64_t* key = failed != nullptr && depth > 0 ? stateKey(depth) : nullptr;
  if (key != nullptr && failed->contains(key)) {
    failed->countSkip();
    return;
  }
  const std::int64_t designsBefore = designsRecorded;
  rankChildren(depth);
  for (const Child& child : children[depth]) {
    if (finished) break;
    const int level = child.position.level;
    --remaining[level - 1];
    // Placed again: a sibling's subtree overwrote the next depth, and may have raised the margin
    // to beat since the ranking.
    if (dropsAllow(depth, level) && place(depth, level, child.position.code)) {
      guide[depth] = child.position;
      search(depth + 1);
    }
    ++remaining[level - 1];
  }
  // Searched to the end without a design: with the margin to beat only rising, it never holds one.
  if (key != nullptr && !finished && designsRecorded == designsBefore) failed->insert(key);
}

// Every position that can follow at this depth, with its slack, most promising first.
void TableSearch::State::rankChildren(int depth) {
  std::vector<Child>& list = children[depth];
  list.clear();
  for (int level = 1; level <= levels; ++level) {
    if (remaining[level - 1] == 0 || (depth < covered && level != 1)) continue;
    --remaining[level - 1];
    if (dropsAllow(depth, level)) {
      for (int code = kCode0; code <= kCode90; ++code) {
        ++outcome.nodes;
        double slack = 0.0;
        if (place(depth, level, code, &slack)) list.push_back({{code, level}, slack});
      }
    }
    ++remaining[level - 1];
  }
  std::stable_sort(list.begin(), list.end(), [](const Child& a, const Child& b) { return a.slack > b.slack; });
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

bool TableSearch::State::place(int depth, int level, int code, double* slack) {
  if (slack != nullptr) *slack = std::numeric_limits<double>::infinity();
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    PanelDesign& next = laminates[depth + 1][t];
    next.skin = laminates[depth][t].skin;
    if (shapeClass[t] >= level) next.skin.setTheta(next.skin.setCount() + 1, code);
  }
  if (pairOnMidPlane(depth + 1, level)) return false;
  setNodes[depth + 1] = setNodes[depth];
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    if (shapeClass[t] < level) continue;
    const PanelDesign& partial = laminates[depth + 1][t];
    for (int p : panelsOfShape[t]) {
      double panelSlack = std::numeric_limits<double>::infinity();
      if (!panelCanWin(p, depth, code, partial, &panelSlack)) return false;
      if (slack != nullptr) *slack = std::min(*slack, panelSlack);
    }
  }
  return true;
}

// Whether the row just placed ends an odd total and an even total of a lower class: the thinner
// would hold as a pair of plies the thicker's single mid-plane ply. (Shapes ascend by total.)
bool TableSearch::State::pairOnMidPlane(int depth, int level) const {
  bool evenEnds = false;
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    if (shapeClass[t] < level || !laminates[depth][t].skin.complete()) continue;
    if (shapeOdd[t] && evenEnds) return true;
    if (!shapeOdd[t]) evenEnds = true;
  }
  return false;
}

// Whether the panel's laminate, one position longer, can still be completed to meet its
// requirements (and beat the best margin): looked up in its set of laminates when it has one,
// else bounded by its surfaces.
bool TableSearch::State::panelCanWin(int p, int depth, int code, const PanelDesign& partial, double* slack) {
  if (const PanelCompletions* set = completions[p]) {
    const int node = set->next(setNodes[depth][p], code);
    if (node == PanelCompletions::kNone) return false;
    const double best = set->bestMargin(node);
    if (settings.beating && !(best > settings.toBeat)) return false;
    setNodes[depth + 1][p] = node;
    *slack = best - (settings.beating ? std::max(0.0, settings.toBeat) : 0.0);
    return !partial.skin.complete() || panelBounds[p]->completeHolds(partial.skin, settings.beating, settings.toBeat, panelMargin[p]);
  }
  PanelBounds& panel = *panelBounds[p];
  if (!checkPartial(partial.skin, panel.rules())) return false;
  return partial.skin.complete() ? panel.completeHolds(partial.skin, settings.beating, settings.toBeat, panelMargin[p])
                                 : panel.canStillWin(partial, settings.beating, settings.toBeat, slack);
}

void TableSearch::State::recordLeaf() {
  ++designsRecorded;
  BlendedDesign& design = recordDesign(panelMargin);
  design.plies = plies;
  design.guide = guide;
  design.laminates.clear();
  for (std::size_t p = 0; p < plies.size(); ++p)
    design.laminates.push_back(laminates[positions][panelShape[p]].skin);
  chooseStiffeners(structure, design);
}

}  // namespace kelm
