#pragma once

#include <vector>

namespace kelm {

// Share of a laminate's bending stiffness carried by position j of n: positions near the
// surface weigh most, so the search sets the heavier of the two laminates' next positions first.
double plyWeight(int n, int j);

// How many positions a laminate of n holds when only its last two are open, the point at which
// the search completes designs; a laminate without positions (a single laminate's absent
// stiffener) is there from the start.
inline int lastPliesStart(int n) { return n == 0 ? 0 : n - 2; }

// Which laminate a design extends next, given how many positions each holds. Extends the one
// whose next position weighs more (the skin on equal weights), but never sends a ply to a
// laminate already down to its last two positions while the other still has more open.
bool extendSkinNext(int ns, int nt, int skinSet, int stiffenerSet, bool skinByWeight);

// The order in which the simultaneous search hands plies to the two laminates (ns and nt
// positions), with the ply weights of both computed once per run.
class PlyOrder {
 public:
  PlyOrder() = default;  // before a run
  PlyOrder(int ns, int nt);

  bool rootExtendsSkin() const;
  // Which laminate the children of a design extend, when the design holds ks skin and kt
  // stiffener positions and its own children extend the skin when `skinExtended`.
  bool childrenExtendSkin(int ks, int kt, bool skinExtended) const;

 private:
  int ns_ = 0;
  int nt_ = 0;
  // Index j holds plyWeight(n, j) for j = 1..n + 2 (a laminate's next-but-one position may lie
  // beyond its last).
  std::vector<double> skinWeights_;
  std::vector<double> stiffenerWeights_;
};

}  // namespace kelm
