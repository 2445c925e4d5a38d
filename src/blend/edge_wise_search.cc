#include "blend/edge_wise_search.h"

#include <algorithm>
#include <bitset>
#include <limits>

#include "blend/panel_bounds.h"
#include "blend/stiffened_panels.h"
#include "laminate/design_rules.h"

namespace kelm {

namespace {

// Positions 0..64 of a half laminate (0: before the first).
using PositionSet = std::bitset<66>;

// A thicker neighbour of the panel being designed, its laminate already chosen.
struct ThickerNeighbour {
  int panel = 0;
  int positions = 0;
  bool midPly = false;      // an odd total: its last position is one ply, not a pair
  PositionSet withCode[3];  // the neighbour's positions holding each code
};

}  // namespace

struct EdgeWiseSearch::State : VectorSearchRun {
  const BlendedStructure& structure;
  std::vector<int> plies;
  std::vector<int> order;  // panels, thickest first
  std::vector<std::unique_ptr<PanelBounds>> panelBounds;
  std::vector<std::vector<int>> thickerNeighbours;  // by order index: earlier panels next to it
  std::vector<std::vector<ThickerNeighbour>> neighbours;  // prepared when the panel starts
  // The path: each panel's laminate per depth, and per depth and thicker neighbour the positions
  // the panel's last ply can lie on.
  std::vector<std::vector<PanelDesign>> laminates;               // [order index][depth]
  std::vector<std::vector<std::vector<PositionSet>>> reach;      // [order index][depth][neighbour]
  std::vector<double> panelMargin;
  std::vector<StackingSequence> chosen;


  State(const BlendedStructure& s, const std::vector<int>& p) : structure(s), plies(p) {}
  void prepare();
  void searchPanel(int k);
  void searchPosition(int k, int depth);
  bool follows(int k, int depth, int code);
  void recordLeaf();
};

EdgeWiseSearch::EdgeWiseSearch(const BlendedStructure& structure, const std::vector<int>& plies)
    : state_(std::make_unique<State>(structure, plies)) {
  state_->prepare();
}

EdgeWiseSearch::~EdgeWiseSearch() = default;

void EdgeWiseSearch::State::prepare() {
  const int n = static_cast<int>(plies.size());
  for (int p = 0; p < n; ++p) order.push_back(p);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return plies[a] > plies[b]; });
  std::vector<int> rank(n);
  for (int k = 0; k < n; ++k) rank[order[k]] = k;
  thickerNeighbours.assign(n, {});
  for (const auto& [a, b] : structure.adjacent) {
    const int later = std::max(rank[a], rank[b]);
    thickerNeighbours[later].push_back(order[std::min(rank[a], rank[b])]);
  }
  neighbours.assign(n, {});
  laminates.assign(n, {});
  reach.assign(n, {});
  for (int k = 0; k < n; ++k) {
    const int p = order[k];
    panelBounds.push_back(std::make_unique<PanelBounds>(structure.panels[p], plies[p]));
    const int h = halfPositions(plies[p]);
    laminates[k].assign(h + 1, PanelDesign());
    laminates[k][0].skin.setPlyTotal(plies[p]);
    laminates[k][0].stiffener.setPlyTotal(0);
    reach[k].assign(h + 1, std::vector<PositionSet>(thickerNeighbours[k].size()));
    neighbours[k].resize(thickerNeighbours[k].size());
  }
  panelMargin.assign(n, 0.0);
  chosen.resize(n);
}

VectorSearchOutcome EdgeWiseSearch::run(const StopRequest* stop) {
  begin(*state_, stop);
  state_->searchPanel(0);
  return state_->concluded();
}

// The panel starts: its thicker neighbours' laminates are chosen, so the positions of each code
// are known, and before its first ply it lies before their first.
void EdgeWiseSearch::State::searchPanel(int k) {
  if (k == static_cast<int>(order.size())) {
    recordLeaf();
    return;
  }
  for (std::size_t i = 0; i < thickerNeighbours[k].size(); ++i) {
    ThickerNeighbour& neighbour = neighbours[k][i];
    neighbour.panel = thickerNeighbours[k][i];
    const StackingSequence& laminate = chosen[neighbour.panel];
    neighbour.positions = laminate.plyCount();
    neighbour.midPly = laminate.midPly();
    for (PositionSet& set : neighbour.withCode) set.reset();
    for (int position = 1; position <= neighbour.positions; ++position)
      neighbour.withCode[laminate.codeAt(position)].set(position);
    reach[k][0][i].reset();
    reach[k][0][i].set(0);
  }
  searchPosition(k, 0);
}

void EdgeWiseSearch::State::searchPosition(int k, int depth) {
  if (mustEnd()) return;
  const int p = order[k];
  PanelBounds& panel = *panelBounds[k];
  const PanelDesign& partial = laminates[k][depth];
  if (partial.skin.complete()) {
    if (!panel.completeHolds(partial.skin, settings.beating, settings.toBeat, panelMargin[p])) return;
    chosen[p] = partial.skin;
    searchPanel(k + 1);
    return;
  }
  for (int code = kCode0; code <= kCode90 && !finished; ++code) {
    ++outcome.nodes;
    PanelDesign& next = laminates[k][depth + 1];
    next.skin = partial.skin;
    next.skin.setTheta(depth + 1, code);
    if (!checkPartial(next.skin, panel.rules()) || !follows(k, depth, code)) continue;
    if (!next.skin.complete() && !panel.canStillWin(next, settings.beating, settings.toBeat)) continue;
    searchPosition(k, depth + 1);
  }
}

// Where the panel's ply `depth + 1` of `code` can lie in each thicker neighbour: on a position
// of that code after one where its previous ply can lie, with no drop inside the covering and
// at most the allowed run of drops otherwise, and with room after it for the panel's remaining
// plies and no longer a run of drops than allowed at the end; counted in real plies, a pair
// never on a single mid-plane ply.
bool EdgeWiseSearch::State::follows(int k, int depth, int code) {
  const int m = laminates[k][0].skin.plyCount();
  const int limit = structure.blending.maxDrops;
  const int covered = std::min(structure.blending.covering, m);
  const int left = m - depth - 1;  // plies still to place after this one
  for (std::size_t i = 0; i < neighbours[k].size(); ++i) {
    const ThickerNeighbour& neighbour = neighbours[k][i];
    const PositionSet& before = reach[k][depth][i];
    PositionSet after = before << 1;
    if (depth >= covered)
      for (int drops = 1; drops <= limit; ++drops) after |= before << (drops + 1);
    after &= neighbour.withCode[code];
    // Room for the rest: from position q, n - q positions remain for `left` plies and at most
    // `limit` drops before each of them and after the last.
    const int n = neighbour.positions;
    for (int q = 0; q <= n; ++q)
      if (after[q] && (n - q < left || n - q > left + limit * (left + 1))) after.reset(q);
    // The last ply of an even total is a pair: never laid on an odd neighbour's single mid-plane ply.
    if (left == 0 && neighbour.midPly && !laminates[k][0].skin.midPly()) after.reset(n);
    if (after.none()) return false;
    reach[k][depth + 1][i] = after;
  }
  return true;
}

void EdgeWiseSearch::State::recordLeaf() {
  BlendedDesign& design = recordDesign(panelMargin);
  design.plies = plies;
  design.guide.clear();
  design.laminates = chosen;
  chooseStiffeners(structure, design);
}

}  // namespace kelm
