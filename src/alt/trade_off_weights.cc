#include "alt/trade_off_weights.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include <Eigen/Dense>

namespace kelm {

namespace {

// A point every surface of another rates at least as high never holds the largest value alone.
std::vector<std::vector<double>> undominated(const std::vector<std::vector<double>>& points) {
  std::vector<std::vector<double>> kept;
  for (std::size_t i = 0; i < points.size(); ++i) {
    bool dominated = false;
    for (std::size_t j = 0; j < points.size() && !dominated; ++j) {
      if (i == j) continue;
      bool atLeast = true;
      for (std::size_t k = 0; k < points[i].size() && atLeast; ++k) atLeast = points[j][k] >= points[i][k];
      dominated = atLeast && (points[j] != points[i] || j < i);
    }
    if (!dominated) kept.push_back(points[i]);
  }
  return kept;
}

// The linear programme min t, t >= w . p for every point, w >= 0, sum w = 1 has its optimum at a
// vertex where `surfaces` of the constraints hold with equality (points' planes or w_k = 0):
// each such choice is solved and the feasible one with the least t kept.
class VertexSearch {
 public:
  VertexSearch(const std::vector<std::vector<double>>& points, int surfaces)
      : points_(points), n_(surfaces), best_(std::numeric_limits<double>::infinity()) {}

  std::vector<double> run() {
    std::vector<int> chosen;
    choose(0, chosen);
    return weights_;
  }

 private:
  // Constraints 0..points-1 are the points' planes, the next n_ the weights' floors.
  void choose(int from, std::vector<int>& chosen) {
    if (static_cast<int>(chosen.size()) == n_) return solve(chosen);
    const int total = static_cast<int>(points_.size()) + n_;
    for (int c = from; c < total; ++c) {
      chosen.push_back(c);
      choose(c + 1, chosen);
      chosen.pop_back();
    }
  }

  void solve(const std::vector<int>& chosen) {
    // Unknowns w_1..w_n and t; rows: the chosen constraints, then sum w = 1.
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(n_ + 1, n_ + 1);
    Eigen::VectorXd b = Eigen::VectorXd::Zero(n_ + 1);
    for (int r = 0; r < n_; ++r) {
      const int c = chosen[r];
      if (c < static_cast<int>(points_.size())) {
        for (int k = 0; k < n_; ++k) a(r, k) = points_[c][k];
        a(r, n_) = -1.0;
      } else {
        a(r, c - static_cast<int>(points_.size())) = 1.0;
      }
    }
    for (int k = 0; k < n_; ++k) a(n_, k) = 1.0;
    b(n_) = 1.0;
    Eigen::FullPivLU<Eigen::MatrixXd> lu(a);
    if (!lu.isInvertible()) return;
    const Eigen::VectorXd x = lu.solve(b);
    std::vector<double> w(x.data(), x.data() + n_);
    for (double& v : w) {
      if (v < -1e-9) return;
      v = std::max(v, 0.0);
    }
    const double t = largestCombination(points_, w);
    if (t < best_) best_ = t, weights_ = w;
  }

  const std::vector<std::vector<double>>& points_;
  int n_;
  double best_;
  std::vector<double> weights_;
};

}  // namespace

double largestCombination(const std::vector<std::vector<double>>& points,
                          const std::vector<double>& weights) {
  double largest = -std::numeric_limits<double>::infinity();
  for (const std::vector<double>& p : points) {
    double sum = 0.0;
    for (std::size_t k = 0; k < weights.size(); ++k) sum += weights[k] * p[k];
    largest = std::max(largest, sum);
  }
  return largest;
}

// The programme over every point would solve each choice of `surfaces` constraints among all
// points (hours for four surfaces and a few hundred points in a band). Over a few points it is
// instant, and the optimum of all is the optimum of the points that hold it: so the points are
// taken in as they are needed, each time the one most above the few points' least value, until
// none is above it.
std::vector<double> leastLargestCombination(const std::vector<std::vector<double>>& points) {
  if (points.empty()) return {};
  const int surfaces = static_cast<int>(points.front().size());
  if (surfaces < 2 || surfaces > kMostTunedSurfaces) return {};
  const std::vector<std::vector<double>> candidates = undominated(points);
  std::vector<std::vector<double>> held = {candidates.front()};
  for (;;) {
    const std::vector<double> weights = VertexSearch(held, surfaces).run();
    if (weights.empty()) return weights;
    const double least = largestCombination(held, weights);
    const std::vector<double>* above = nullptr;
    double most = least + 1e-12;
    for (const std::vector<double>& p : candidates) {
      double sum = 0.0;
      for (int k = 0; k < surfaces; ++k) sum += weights[k] * p[k];
      if (sum > most) most = sum, above = &p;
    }
    if (!above) return weights;
    held.push_back(*above);
  }
}

}  // namespace kelm
