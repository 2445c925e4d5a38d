#include "alt/ply_order.h"

#include <cmath>

namespace kelm {

namespace {

std::vector<double> plyWeights(int n) {
  std::vector<double> weights(n + 3);
  for (int j = 1; j <= n + 2; ++j) weights[j] = plyWeight(n, j);
  return weights;
}

}  // namespace

double plyWeight(int n, int j) {
  return std::pow(1.0 - static_cast<double>(j - 1) / n, 4.0) -
         std::pow(1.0 - static_cast<double>(j) / n, 4.0);
}

bool extendSkinNext(int ns, int nt, int skinSet, int stiffenerSet, bool skinByWeight) {
  if (ns <= 2 || nt <= 2) return skinByWeight;
  if (skinByWeight && skinSet >= ns - 2 && stiffenerSet < nt - 2) return false;
  if (!skinByWeight && stiffenerSet >= nt - 2 && skinSet < ns - 2) return true;
  return skinByWeight;
}

PlyOrder::PlyOrder(int ns, int nt)
    : ns_(ns), nt_(nt), skinWeights_(plyWeights(ns)), stiffenerWeights_(plyWeights(nt)) {}

// A single laminate (no stiffener positions) extends the skin throughout.
bool PlyOrder::rootExtendsSkin() const {
  return nt_ == 0 || extendSkinNext(ns_, nt_, 0, 0, ns_ < nt_);
}

// The weights compare the child's next position of each laminate. A child whose other laminate
// is down to its last two positions keeps extending the same one.
bool PlyOrder::childrenExtendSkin(int ks, int kt, bool skinExtended) const {
  if (nt_ == 0) return true;
  const std::vector<double>& ws = skinWeights_;
  const std::vector<double>& wt = stiffenerWeights_;
  const bool skinByWeight = skinExtended ? ws[ks + 2] >= wt[kt + 1] : ws[ks + 1] >= wt[kt + 2];
  const int childKs = skinExtended ? ks + 1 : ks;
  const int childKt = skinExtended ? kt : kt + 1;
  const int otherSet = skinExtended ? childKt : childKs;
  const int otherLastTwo = skinExtended ? nt_ - 2 : ns_ - 2;
  const bool next = otherSet == otherLastTwo ? skinExtended : skinByWeight;
  return extendSkinNext(ns_, nt_, childKs, childKt, next);
}

}  // namespace kelm
