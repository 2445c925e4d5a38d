#include "blend/stiffener_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kelm {

namespace {

// Model positions of the skin's and the stiffener's parameters (0-based).
constexpr int kSkin[4] = {0, 1, 2, 3};
constexpr int kStiffener[4] = {4, 5, 6, 7};
constexpr int kLeafSize = 8;

// The largest value of `q` times the product of two parameters within their ranges (the same
// parameter twice: its square).
double productCeiling(double q, double lowA, double highA, double lowB, double highB, bool square) {
  if (square) {
    const double top = std::max(lowA * lowA, highA * highA);
    const double bottom = lowA <= 0.0 && highA >= 0.0 ? 0.0 : std::min(lowA * lowA, highA * highA);
    return std::max(q * top, q * bottom);
  }
  return std::max(std::max(q * lowA * lowB, q * lowA * highB), std::max(q * highA * lowB, q * highA * highB));
}

}  // namespace

StiffenerTree::StiffenerTree(std::vector<StackingSequence> laminates) : laminates_(std::move(laminates)) {
  if (!laminates_.empty()) build(0, static_cast<int>(laminates_.size()));
}

// The node of laminates [first, last): the box of their parameters, split at the median of its
// widest side until a few are left.
int StiffenerTree::build(int first, int last) {
  const int index = static_cast<int>(nodes_.size());
  nodes_.emplace_back();
  Node node;
  node.first = first, node.last = last;
  for (int d = 0; d < 4; ++d) {
    node.low[d] = std::numeric_limits<double>::infinity();
    node.high[d] = -node.low[d];
  }
  for (int i = first; i < last; ++i)
    for (int d = 0; d < 4; ++d) {
      node.low[d] = std::min(node.low[d], laminates_[i].parameters()[d]);
      node.high[d] = std::max(node.high[d], laminates_[i].parameters()[d]);
    }
  if (last - first > kLeafSize) {
    int widest = 0;
    for (int d = 1; d < 4; ++d)
      if (node.high[d] - node.low[d] > node.high[widest] - node.low[widest]) widest = d;
    const int middle = first + (last - first) / 2;
    std::nth_element(laminates_.begin() + first, laminates_.begin() + middle, laminates_.begin() + last,
                     [widest](const StackingSequence& a, const StackingSequence& b) {
                       return a.parameters()[widest] < b.parameters()[widest];
                     });
    node.children[0] = build(first, middle);
    node.children[1] = build(middle, last);
  }
  nodes_[index] = node;
  return index;
}

StiffenerTerms::StiffenerTerms(const ResponseSurface& surface) : constant(surface.constant) {
  const Vector b = surface.linear();
  const Mathmx a = surface.quadratic();
  for (int l = 0; l < 4; ++l) {
    skinLinear[l] = b(kSkin[l] + 1);
    stiffenerLinear[l] = b(kStiffener[l] + 1);
    for (int m = 0; m < 4; ++m) {
      skinQuadratic[l][m] = 0.5 * a(kSkin[l] + 1, kSkin[m] + 1);
      stiffenerQuadratic[l][m] = 0.5 * a(kStiffener[l] + 1, kStiffener[m] + 1);
      cross[l][m] = a(kSkin[l] + 1, kStiffener[m] + 1);
    }
  }
}

namespace {

// One skin's search of the tree: per surface, its value without the stiffener's terms and the
// stiffener's linear coefficients with the skin's parameters put in.
class StiffenerSearch {
 public:
  StiffenerSearch(const StiffenerTree& tree, const std::vector<StiffenerChoice::Surface>& surfaces,
                  const StackingSequence& skin, StiffenerPick& pick, bool anyHolding)
      : tree_(tree), surfaces_(surfaces), pick_(pick), trial_(surfaces.size()), anyHolding_(anyHolding) {
    for (int k = 0; k < 4; ++k) x_[k] = skin.parameters()[k];
    for (const StiffenerChoice::Surface& surface : surfaces) {
      const StiffenerTerms& t = surface.terms;
      Reach reach;
      reach.base = t.constant;
      double size = std::fabs(t.constant) + 1.0;
      for (int k = 0; k < 4; ++k) {
        reach.base += t.skinLinear[k] * x_[k];
        size += std::fabs(t.skinLinear[k]);
        for (int m = 0; m < 4; ++m) reach.base += t.skinQuadratic[k][m] * x_[k] * x_[m], size += std::fabs(t.skinQuadratic[k][m]);
      }
      for (int l = 0; l < 4; ++l) {
        reach.linear[l] = t.stiffenerLinear[l];
        for (int k = 0; k < 4; ++k) reach.linear[l] += t.cross[k][l] * x_[k];
        size += std::fabs(reach.linear[l]);
        for (int m = 0; m < 4; ++m) size += std::fabs(t.stiffenerQuadratic[l][m]);
      }
      // The bound is summed in another order than the value: a little above it for the rounding.
      reach.base += 1e-9 * size;
      reaches_.push_back(reach);

    }
  }

  void run(int hint) {
    pick_.stiffener = -1;
    if (hint >= 0 && hint < static_cast<int>(tree_.laminates().size())) tryLaminate(hint);
    if (!tree_.nodes().empty()) visit(0);
  }

 private:
  struct Reach {
    double base = 0.0;
    double linear[4] = {};
  };
  // The ceilings of a node's surfaces over its box: whether every requirement may hold, and
  // the largest smallest margin it may reach.
  struct Bound {
    bool canHold = true;
    double margin = std::numeric_limits<double>::infinity();
  };

  Bound bound(const StiffenerTree::Node& node) const {
    Bound bound;
    for (std::size_t s = 0; s < surfaces_.size(); ++s) {
      const Reach& reach = reaches_[s];
      double ceiling = reach.base;
      for (int l = 0; l < 4; ++l) ceiling += std::max(reach.linear[l] * node.low[l], reach.linear[l] * node.high[l]);
      for (const StiffenerChoice::Product& p : surfaces_[s].products)
        ceiling += productCeiling(p.q, node.low[p.l], node.high[p.l], node.low[p.m], node.high[p.m], p.l == p.m);
      if (surfaces_[s].required && ceiling < surfaces_[s].limit) bound.canHold = false;
      bound.margin = std::min(bound.margin, ceiling - surfaces_[s].limit);
    }
    return bound;
  }

  // Whether a node of this bound may still hold a laminate that beats the pick.
  bool beats(const Bound& bound) const {
    if (pick_.stiffener < 0) return true;
    if (pick_.requirementsHold) return !anyHolding_ && bound.canHold && bound.margin > pick_.margin;
    return bound.canHold || bound.margin > pick_.margin;
  }

  void visit(int index) {
    const StiffenerTree::Node& node = tree_.nodes()[index];
    if (node.children[0] < 0) {
      for (int i = node.first; i < node.last && !(anyHolding_ && pick_.requirementsHold); ++i) tryLaminate(i);
      return;
    }
    const Bound bounds[2] = {bound(tree_.nodes()[node.children[0]]), bound(tree_.nodes()[node.children[1]])};
    const int first = bounds[1].margin > bounds[0].margin ? 1 : 0;
    // The pick may rise while the first child is searched.
    for (int c : {first, 1 - first})
      if (beats(bounds[c])) visit(node.children[c]);
  }

  void tryLaminate(int index) {
    const StackingSequence& stiffener = tree_.laminates()[index];
    // Its ceilings first (the box of one point): cheaper than its values, and most laminates
    // of a leaf cannot beat the pick.
    StiffenerTree::Node point;
    for (int l = 0; l < 4; ++l) point.low[l] = point.high[l] = stiffener.parameters()[l];
    if (!beats(bound(point))) return;
    for (int l = 0; l < 4; ++l) x_[4 + l] = stiffener.parameters()[l];
    double margin = std::numeric_limits<double>::infinity();
    bool holds = true;
    for (std::size_t s = 0; s < surfaces_.size(); ++s) {
      const double value = surfaces_[s].value.fullObjective(x_);
      trial_[s] = value;
      margin = std::min(margin, value - surfaces_[s].limit);
      if (surfaces_[s].required && !(value >= surfaces_[s].limit)) holds = false;
    }
    const bool better = pick_.stiffener < 0 || (holds && !pick_.requirementsHold) ||
                        (holds == pick_.requirementsHold && margin > pick_.margin);
    if (!better) return;
    pick_.stiffener = index;
    pick_.values = trial_;
    pick_.margin = margin;
    pick_.requirementsHold = holds;
  }

  const StiffenerTree& tree_;
  const std::vector<StiffenerChoice::Surface>& surfaces_;
  StiffenerPick& pick_;
  std::vector<Reach> reaches_;
  std::vector<double> trial_;
  bool anyHolding_;
  double x_[8] = {};
};

}  // namespace

StiffenerChoice::StiffenerChoice(std::shared_ptr<const StiffenerTree> tree, std::vector<Surface> surfaces)
    : tree_(std::move(tree)), surfaces_(std::move(surfaces)) {
  for (Surface& surface : surfaces_) {
    const StiffenerTerms& t = surface.terms;
    for (int l = 0; l < 4; ++l)
      for (int m = l; m < 4; ++m) {
        const double q = l == m ? t.stiffenerQuadratic[l][l] : t.stiffenerQuadratic[l][m] + t.stiffenerQuadratic[m][l];
        if (q != 0.0) surface.products.push_back({l, m, q});
      }
  }
}

void StiffenerChoice::best(const StackingSequence& skin, StiffenerPick& pick, bool anyHolding, int hint) const {
  StiffenerSearch(*tree_, surfaces_, skin, pick, anyHolding).run(hint);
}

}  // namespace kelm
