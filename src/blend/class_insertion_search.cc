#include "blend/class_insertion_search.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>

#include "blend/panel_bounds.h"
#include "blend/stiffened_panels.h"
#include "laminate/design_rules.h"
#include "laminate/panel_design.h"

namespace kelm {

namespace {

// Two neighbours of different classes: the thicker keeps positions of levels up to `high`, the
// thinner up to `low`.
struct LevelPair {
  int high;
  int low;
  bool operator==(const LevelPair& other) const { return high == other.high && low == other.low; }
};

}  // namespace

struct ClassInsertionSearch::State : VectorSearchRun {
  const BlendedStructure& structure;
  std::vector<int> plies;
  CompletionsCache* cache = nullptr;
  std::vector<int> classes;  // half-position count of each class, ascending
  int levels = 0;
  int covered = 0;
  int maxDrops = 0;
  // The distinct totals: a class holds an even total and the odd one below it, cut from the same
  // rows; each has its own laminate. Per class, its totals and their panels.
  std::vector<int> shapes;
  std::vector<int> shapeClass;  // 1-based
  std::vector<char> shapeOdd;
  std::vector<std::vector<int>> shapesOfClass;
  std::vector<int> shapeSlot;  // the shape's index among its class's
  std::vector<std::vector<int>> panelsOfShape;
  std::vector<int> panelShape;
  std::vector<std::unique_ptr<PanelBounds>> panelBounds;
  std::vector<const PanelCompletions*> completions;
  std::vector<double> panelMargin;
  // The pairs of neighbours (by levels), listed under the class of their thicker panel: that
  // class's step places all their drops.
  std::vector<LevelPair> pairs;
  std::vector<std::vector<int>> pairsTopped;

  // Per class k, the rows built so far (outer to inner), each class's laminates and each panel's
  // place in its set after j rows, each topped pair's run of drops after j rows, and the levels
  // the thinner class's rows still to come hold (suffix counts, for the drops still to place).
  std::vector<std::vector<GuidePosition>> rows;
  std::vector<std::vector<std::vector<PanelDesign>>> laminates;  // [k][j][slot]
  std::vector<std::vector<std::vector<int>>> setNodes;            // [k][j][panel]
  std::vector<std::vector<std::vector<int>>> runs;                // [k][j][topped pair]
  std::vector<std::vector<std::vector<int>>> levelsAfter;         // [k][i][level]
  struct Child {
    GuidePosition position;
    bool inserted;
    double slack;
  };
  std::vector<std::vector<std::vector<Child>>> children;  // [k][j]

  State(const BlendedStructure& s, const std::vector<int>& p, CompletionsCache* c) : structure(s), plies(p), cache(c) {}
  void prepare();
  void search(int k, int j, int i, int left);
  void rankChildren(int k, int j, int i, int left);
  bool place(int k, int j, int i, int left, GuidePosition position, double* slack);
  bool dropsAllow(int k, int j, int i, int left, int level);
  bool panelCanWin(int p, int k, int j, int code, const PanelDesign& partial, double* slack);
  bool midPlaneKept(int k) const;
  bool thickerPanelsCanHold(int k);
  bool holdsWithin(const PanelCompletions& set, int node, int depth, int matched, int extra);
  // Per thicker panel and laminate of a class, whether its set holds a laminate that contains
  // it: the same laminate comes back under many placements of its rows' levels.
  static constexpr std::size_t kHeldWithinLimit = 1 << 20;
  std::unordered_map<std::string, bool> heldWithin;
  std::string heldKey;
  std::vector<int> classCodes;
  void beginClass(int k);
  void recordLeaf();
};

ClassInsertionSearch::ClassInsertionSearch(const BlendedStructure& structure, const std::vector<int>& plies,
                                           CompletionsCache* completions)
    : state_(std::make_unique<State>(structure, plies, completions)) {
  state_->prepare();
}

ClassInsertionSearch::~ClassInsertionSearch() = default;

void ClassInsertionSearch::State::prepare() {
  classes = countClasses(plies);
  levels = static_cast<int>(classes.size());
  covered = std::min(structure.blending.covering, classes.front());
  maxDrops = structure.blending.maxDrops;
  shapes = plies;
  std::sort(shapes.begin(), shapes.end());
  shapes.erase(std::unique(shapes.begin(), shapes.end()), shapes.end());
  shapesOfClass.assign(levels, {});
  for (std::size_t t = 0; t < shapes.size(); ++t) {
    shapeClass.push_back(classOf(classes, shapes[t]));
    shapeOdd.push_back(shapes[t] % 2 != 0);
    shapeSlot.push_back(static_cast<int>(shapesOfClass[shapeClass.back() - 1].size()));
    shapesOfClass[shapeClass.back() - 1].push_back(static_cast<int>(t));
  }
  panelsOfShape.assign(shapes.size(), {});
  for (std::size_t p = 0; p < plies.size(); ++p) {
    panelShape.push_back(static_cast<int>(std::lower_bound(shapes.begin(), shapes.end(), plies[p]) - shapes.begin()));
    panelsOfShape[panelShape.back()].push_back(static_cast<int>(p));
    panelBounds.push_back(std::make_unique<PanelBounds>(structure.panels[p], plies[p]));
  }
  completions.assign(plies.size(), nullptr);
  panelMargin.assign(plies.size(), 0.0);
  pairsTopped.assign(levels, {});
  for (const auto& [a, b] : structure.adjacent) {
    const int ca = classOf(classes, plies[a]), cb = classOf(classes, plies[b]);
    const LevelPair pair{std::max(ca, cb), std::min(ca, cb)};
    if (pair.high == pair.low || std::find(pairs.begin(), pairs.end(), pair) != pairs.end()) continue;
    pairs.push_back(pair);
    pairsTopped[pair.high - 1].push_back(static_cast<int>(pairs.size() - 1));
  }
  rows.assign(levels, {});
  laminates.assign(levels, {});
  setNodes.assign(levels, {});
  runs.assign(levels, {});
  levelsAfter.assign(levels, {});
  children.assign(levels, {});
  for (int k = 0; k < levels; ++k) {
    const int length = classes[k];
    rows[k].resize(length);
    laminates[k].assign(length + 1, std::vector<PanelDesign>(shapesOfClass[k].size()));
    for (std::size_t slot = 0; slot < shapesOfClass[k].size(); ++slot) {
      laminates[k][0][slot].skin.setPlyTotal(shapes[shapesOfClass[k][slot]]);
      laminates[k][0][slot].stiffener.setPlyTotal(0);
    }
    setNodes[k].assign(length + 1, std::vector<int>(plies.size(), PanelCompletions::kRoot));
    runs[k].assign(length + 1, std::vector<int>(pairsTopped[k].size(), 0));
    levelsAfter[k].assign((k > 0 ? classes[k - 1] : 0) + 1, std::vector<int>(levels + 1, 0));
    children[k].assign(length, {});
    for (auto& list : children[k]) list.reserve(4);
  }
}

VectorSearchOutcome ClassInsertionSearch::run(const StopRequest* stop) {
  begin(*state_, stop);
  State& s = *state_;
  if (s.cache != nullptr)
    for (std::size_t p = 0; p < s.plies.size(); ++p)
      s.completions[p] = s.cache->at(s.structure.panels[p], s.plies[p], settings_.positionLimit, stop);
  s.beginClass(0);
  s.search(0, 0, 0, s.classes[0]);
  return s.concluded();
}

// The suffix counts of the thinner class's rows by level, read by the drop check of class k.
void ClassInsertionSearch::State::beginClass(int k) {
  if (k == 0) return;
  const std::vector<GuidePosition>& old = rows[k - 1];
  std::vector<std::vector<int>>& after = levelsAfter[k];
  for (int i = classes[k - 1] - 1; i >= 0; --i) {
    after[i] = after[i + 1];
    ++after[i][old[i].level];
  }
}

// Row j of class k: the thinner class's row i goes on, or one of the `left` rows of this
// class's level is inserted here.
void ClassInsertionSearch::State::search(int k, int j, int i, int left) {
  if (mustEnd()) return;
  if (j == classes[k]) {
    if (!midPlaneKept(k) || !thickerPanelsCanHold(k)) return;
    if (k + 1 == levels) {
      recordLeaf();
      return;
    }
    beginClass(k + 1);
    search(k + 1, 0, 0, classes[k + 1] - classes[k]);
    return;
  }
  rankChildren(k, j, i, left);
  for (const Child& child : children[k][j]) {
    if (finished) break;
    const int nextI = child.inserted ? i : i + 1;
    const int nextLeft = child.inserted ? left - 1 : left;
    // Placed again: a deeper step overwrote this row's successors, and may have raised the
    // margin to beat since the ranking.
    if (place(k, j, nextI, nextLeft, child.position, nullptr)) search(k, j + 1, nextI, nextLeft);
  }
}

// The rows that can come next, most promising first (the largest slack of the most endangered
// panel of the class).
void ClassInsertionSearch::State::rankChildren(int k, int j, int i, int left) {
  std::vector<Child>& list = children[k][j];
  list.clear();
  const int level = k + 1;
  if (left > 0 && (k == 0 || j >= covered)) {
    for (int code = kCode0; code <= kCode90; ++code) {
      ++outcome.nodes;
      double slack = 0.0;
      if (place(k, j, i, left - 1, {code, level}, &slack)) list.push_back({{code, level}, true, slack});
    }
  }
  if (k > 0 && i < classes[k - 1]) {
    ++outcome.nodes;
    double slack = 0.0;
    if (place(k, j, i + 1, left, rows[k - 1][i], &slack)) list.push_back({rows[k - 1][i], false, slack});
  }
  std::stable_sort(list.begin(), list.end(), [](const Child& a, const Child& b) { return a.slack > b.slack; });
}

// Row j of class k set to `position`, with i of the thinner class's rows and `left` of this
// class's own still to come after it: whether the drops and every panel of the class still allow
// a design.
bool ClassInsertionSearch::State::place(int k, int j, int i, int left, GuidePosition position, double* slack) {
  if (slack != nullptr) *slack = std::numeric_limits<double>::infinity();
  if (!dropsAllow(k, j, i, left, position.level)) return false;
  rows[k][j] = position;
  for (std::size_t slot = 0; slot < shapesOfClass[k].size(); ++slot) {
    PanelDesign& next = laminates[k][j + 1][slot];
    next.skin = laminates[k][j][slot].skin;
    next.skin.setTheta(j + 1, position.code);
  }
  setNodes[k][j + 1] = setNodes[k][j];
  for (std::size_t slot = 0; slot < shapesOfClass[k].size(); ++slot) {
    const PanelDesign& partial = laminates[k][j + 1][slot];
    for (int p : panelsOfShape[shapesOfClass[k][slot]]) {
      double panelSlack = std::numeric_limits<double>::infinity();
      if (!panelCanWin(p, k, j, position.code, partial, &panelSlack)) return false;
      if (slack != nullptr) *slack = std::min(*slack, panelSlack);
    }
  }
  return true;
}

// The runs of positions each pair topped by this class drops, after a row of `level`: at most
// maxDrops in a row, and the drops still to come (this class's rows and the thinner class's rows
// the pair's thinner panel does not keep) must fit between the rows it keeps and after the last.
bool ClassInsertionSearch::State::dropsAllow(int k, int j, int i, int left, int level) {
  const std::vector<int>& topped = pairsTopped[k];
  for (std::size_t q = 0; q < topped.size(); ++q) {
    const LevelPair& pair = pairs[topped[q]];
    const int run = level <= pair.low ? 0 : runs[k][j][q] + 1;
    if (run > maxDrops) return false;
    int kept = 0, dropped = left;
    if (k > 0)
      for (int l = 1; l <= k; ++l) (l <= pair.low ? kept : dropped) += levelsAfter[k][i][l];
    if (dropped > (maxDrops - run) + maxDrops * kept) return false;
    runs[k][j + 1][q] = run;
  }
  return true;
}

// Whether the panel's laminate, one position longer, can still be completed to meet its
// requirements (and beat the best margin): looked up in its set of laminates when it has one,
// else bounded by its surfaces.
bool ClassInsertionSearch::State::panelCanWin(int p, int k, int j, int code, const PanelDesign& partial,
                                              double* slack) {
  if (const PanelCompletions* set = completions[p]) {
    const int node = set->next(setNodes[k][j][p], code);
    if (node == PanelCompletions::kNone) return false;
    const double best = set->bestMargin(node);
    if (settings.beating && !(best > settings.toBeat)) return false;
    setNodes[k][j + 1][p] = node;
    *slack = best - (settings.beating ? std::max(0.0, settings.toBeat) : 0.0);
    return !partial.skin.complete() ||
           panelBounds[p]->completeHolds(partial.skin, settings.beating, settings.toBeat, panelMargin[p]);
  }
  PanelBounds& panel = *panelBounds[p];
  if (!checkPartial(partial.skin, panel.rules())) return false;
  return partial.skin.complete() ? panel.completeHolds(partial.skin, settings.beating, settings.toBeat, panelMargin[p])
                                 : panel.canStillWin(partial, settings.beating, settings.toBeat, slack);
}

// A thinner panel may keep a thicker one's mid-plane ply only as its own: the innermost row of
// an odd total of this class must not be a row of any even total of a thinner class, which would
// hold it as a pair of plies.
bool ClassInsertionSearch::State::midPlaneKept(int k) const {
  const int innermost = rows[k][classes[k] - 1].level;
  bool odd = false;
  for (int t : shapesOfClass[k]) odd = odd || shapeOdd[t];
  if (!odd) return true;
  for (std::size_t t = 0; t < shapes.size(); ++t)
    if (!shapeOdd[t] && shapeClass[t] < k + 1 && shapeClass[t] >= innermost) return false;
  return true;
}

// Every thicker panel's laminate will be this class's with rows inserted (none among the covered
// outer rows): a thicker panel whose set holds no such laminate can take none of the tables that
// go on from here, whatever the drops and the classes between.
bool ClassInsertionSearch::State::thickerPanelsCanHold(int k) {
  const int length = classes[k];
  classCodes.resize(length);
  for (int j = 0; j < length; ++j) classCodes[j] = rows[k][j].code;
  for (std::size_t p = 0; p < plies.size(); ++p) {
    const int c = shapeClass[panelShape[p]] - 1;
    if (c <= k || completions[p] == nullptr) continue;
    // The panel's index in full (a structure may have more panels than a char counts).
    heldKey.assign(reinterpret_cast<const char*>(&p), sizeof p);
    heldKey.push_back(settings.beating ? 'b' : 'a');
    for (int code : classCodes) heldKey.push_back(static_cast<char>('0' + code));
    auto known = heldWithin.find(heldKey);
    // A margin to beat that has risen since may hold fewer: only a failure is kept for good.
    if (known != heldWithin.end() && !known->second) return false;
    if (known != heldWithin.end() && !settings.beating) continue;
    const bool holds = holdsWithin(*completions[p], PanelCompletions::kRoot, 0, 0, classes[c] - length);
    if (heldWithin.size() >= kHeldWithinLimit) heldWithin.clear();  // forgotten: only searched again
    heldWithin[heldKey] = holds;
    if (!holds) return false;
  }
  return true;
}

// Whether the set below `node` (at `depth` positions) holds a laminate that goes on with the
// class's codes from `matched` on, `extra` codes inserted among them. A code that matches the
// class's next one is taken as it: the earliest embedding exists whenever any does (and keeps the
// covered rows matched), so each node of the set is visited once.
bool ClassInsertionSearch::State::holdsWithin(const PanelCompletions& set, int node, int depth, int matched,
                                             int extra) {
  if (settings.beating && !(set.bestMargin(node) > settings.toBeat)) return false;
  const int length = static_cast<int>(classCodes.size());
  if (matched == length && extra == 0) return true;
  for (int code = kCode0; code <= kCode90; ++code) {
    const int child = set.next(node, code);
    if (child == PanelCompletions::kNone) continue;
    if (matched < length && code == classCodes[matched]) {
      if (holdsWithin(set, child, depth + 1, matched + 1, extra)) return true;
    } else if (extra > 0 && depth >= covered) {
      if (holdsWithin(set, child, depth + 1, matched, extra - 1)) return true;
    }
  }
  return false;
}

void ClassInsertionSearch::State::recordLeaf() {
  BlendedDesign& design = recordDesign(panelMargin);
  design.plies = plies;
  design.guide = rows[levels - 1];
  design.laminates.clear();
  for (std::size_t p = 0; p < plies.size(); ++p) {
    const int t = panelShape[p];
    const int k = shapeClass[t] - 1;
    design.laminates.push_back(laminates[k][classes[k]][shapeSlot[t]].skin);
  }
  chooseStiffeners(structure, design);
}

}  // namespace kelm
