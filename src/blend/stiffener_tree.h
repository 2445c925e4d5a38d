#pragma once

#include <memory>
#include <vector>

#include "laminate/stacking_sequence.h"
#include "response/full_objective.h"
#include "response/response_surface.h"

namespace kelm {

// The stiffener laminates a stiffened panel may take, held in a tree by their lamination
// parameters (x3, x4, x7, x8): each node knows the box of its laminates' parameters, so that a
// skin's best stiffener is found without trying most of them.
class StiffenerTree {
 public:
  explicit StiffenerTree(std::vector<StackingSequence> laminates);

  const std::vector<StackingSequence>& laminates() const { return laminates_; }

  struct Node {
    double low[4];
    double high[4];
    int first = 0, last = 0;  // its laminates, [first, last)
    int children[2] = {-1, -1};
  };
  const std::vector<Node>& nodes() const { return nodes_; }

 private:
  int build(int first, int last);

  std::vector<StackingSequence> laminates_;  // in the order of the tree's leaves
  std::vector<Node> nodes_;                  // the root first
};

// One panel surface's coefficients that meet the stiffener's parameters, taken out once.
struct StiffenerTerms {
  double constant = 0.0;
  double skinLinear[4] = {};
  double skinQuadratic[4][4] = {};       // half the matrix's entries
  double stiffenerLinear[4] = {};
  double stiffenerQuadratic[4][4] = {};  // half the matrix's entries
  double cross[4][4] = {};               // [skin][stiffener]

  explicit StiffenerTerms(const ResponseSurface& surface);
};

// A skin's values with a stiffener: which one, each surface's value, the smallest margin and
// whether every requirement holds.
struct StiffenerPick {
  int stiffener = -1;
  std::vector<double> values;
  double margin = 0.0;
  bool requirementsHold = false;
};

// What a stiffened panel's surfaces at one skin total ask of its stiffener: the panel's tree
// (shared by its totals) and each surface's terms, limit and whether it is required.
class StiffenerChoice {
 public:
  // A product of two stiffener parameters and its coefficient in a surface.
  struct Product {
    int l, m;
    double q;
  };
  struct Surface {
    StiffenerTerms terms;
    FullObjective value;
    double limit;
    bool required;
    std::vector<Product> products = {};  // the stiffener's own products, set up once
  };
  StiffenerChoice(std::shared_ptr<const StiffenerTree> tree, std::vector<Surface> surfaces);

  const StiffenerTree& tree() const { return *tree_; }
  const StackingSequence& laminate(int index) const { return tree_->laminates()[index]; }
  // The stiffener that gives this complete skin every requirement (if any does), then the
  // largest smallest margin, and its values. `anyHolding`: the first found that meets every
  // requirement will do. `hint`: a stiffener tried first (a good one cuts most of the tree),
  // such as the last skin's.
  void best(const StackingSequence& skin, StiffenerPick& pick, bool anyHolding = false, int hint = -1) const;

 private:
  std::shared_ptr<const StiffenerTree> tree_;
  std::vector<Surface> surfaces_;
};

}  // namespace kelm
