#include "fitting/sampling_plan.h"

#include <Eigen/Cholesky>
#include <Eigen/LU>
#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "base/fatal.h"
#include "fitting/quadratic_terms.h"
#include "laminate/design_rules.h"

namespace kelm {

namespace {

constexpr int kVisitLimit = 20000;   // positions tried for one random laminate
constexpr int kExchangePasses = 10;  // the exchange stops earlier once no swap gains
constexpr double kRidge = 1e-9;      // keeps a start without full rank invertible

// Depth-first with the orientations in a random order at every position, leaning to the
// laminate's drawn shares; backtracks out of dead ends.
bool randomWalk(StackingSequence& seq, const LaminateRules& rules, const double* share,
                std::mt19937& random, int& visits) {
  if (seq.complete()) return checkComplete(seq, rules);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int order[3] = {0, 1, 2};
  double key[3];
  for (int c = 0; c < 3; ++c) key[c] = -std::log(unit(random) + 1e-300) / share[c];
  std::sort(order, order + 3, [&](int a, int b) { return key[a] < key[b]; });
  for (const int code : order) {
    if (++visits > kVisitLimit) return false;
    StackingSequence child = seq;
    child.setTheta(child.setCount() + 1, code);
    if (!checkPartial(child, rules)) continue;
    if (randomWalk(child, rules, share, random, visits)) {
      seq = std::move(child);
      return true;
    }
  }
  return false;
}

// Laminates of one orientation in blocks (outer, middle, inner), in every order and a few
// proportions: the corners and edges of the lamination-parameter region, where a quadratic
// is least determined by random laminates.
std::vector<StackingSequence> blockLaminates(const LaminateRules& rules) {
  std::vector<StackingSequence> laminates;
  const int n = rules.halfPlyCount;
  int perm[3] = {0, 1, 2};
  do {
    for (int a = 0; a <= 4; ++a)
      for (int b = 0; a + b <= 4; ++b) {
        const int first = n * a / 4, second = n * b / 4;
        StackingSequence seq;
        seq.setPlyTotal(rules.plyTotal);
        for (int p = 1; p <= n; ++p)
          seq.setTheta(p, p <= first ? perm[0] : p <= first + second ? perm[1] : perm[2]);
        if (checkComplete(seq, rules)) laminates.push_back(std::move(seq));
      }
  } while (std::next_permutation(perm, perm + 3));
  return laminates;
}

bool stopped(const StopRequest* stop) { return stop != nullptr && stop->requested(); }

std::vector<StackingSequence> laminatePool(const LaminateRules& rules, int count, std::uint32_t seed,
                                           const StopRequest* stop) {
  std::vector<StackingSequence> pool = blockLaminates(rules);
  for (StackingSequence& seq : randomAllowedLaminates(rules, count, seed, stop)) pool.push_back(std::move(seq));
  if (stopped(stop)) return {};
  std::set<std::string> seen;
  std::vector<StackingSequence> distinct;
  for (StackingSequence& seq : pool)
    if (seen.insert(seq.bracketText()).second) distinct.push_back(std::move(seq));
  if (distinct.empty())
    fatal(Stream::Err, "error: no laminate of " + std::to_string(rules.plyTotal) +
                           " plies meets the rules", true);
  return distinct;
}

Eigen::VectorXd rowOf(const PanelDesign& design, const QuadraticTerms& terms) {
  double values[kQuadraticTerms];
  terms.row(fileParameters(design), values);
  return Eigen::Map<const Eigen::VectorXd>(values, terms.count());
}

// The information matrix of the chosen columns of `rows` (one column per pool design). A large
// plan takes a while to sum, so the stop request is read every 1024 columns (the sum is then
// incomplete, and the caller drops it).
Eigen::MatrixXd information(const Eigen::MatrixXd& rows, const std::vector<int>& chosen,
                            const StopRequest* stop = nullptr) {
  Eigen::MatrixXd m = Eigen::MatrixXd::Identity(rows.rows(), rows.rows()) * kRidge;
  std::size_t summed = 0;
  for (const int i : chosen) {
    if (++summed % 1024 == 0 && stopped(stop)) break;
    m.noalias() += rows.col(i) * rows.col(i).transpose();
  }
  return m;
}

double logDet(const Eigen::MatrixXd& m) {
  const Eigen::LLT<Eigen::MatrixXd> llt(m);
  return 2.0 * llt.matrixLLT().diagonal().array().log().sum();
}

// Fedorov's exchange: swap a chosen design for the pool design that raises the determinant
// most, judged for all candidates at once by the variance function d(x) = x' M^-1 x:
// det grows by 1 + d(x_j) - d(x_i) - d(x_i) d(x_j) + d(x_i, x_j)^2.
// A stop request ends it between two swaps.
void exchange(const Eigen::MatrixXd& rows, std::vector<int>& chosen, const StopRequest* stop) {
  for (int pass = 0; pass < kExchangePasses; ++pass) {
    bool improved = false;
    for (int& slot : chosen) {
      const Eigen::MatrixXd sum = information(rows, chosen, stop);
      if (stopped(stop)) return;
      const Eigen::MatrixXd inverse = sum.inverse();
      const Eigen::MatrixXd spread = inverse * rows;
      const Eigen::VectorXd d = rows.cwiseProduct(spread).colwise().sum().transpose();
      const Eigen::VectorXd dij = rows.transpose() * spread.col(slot);
      const double di = d(slot);
      const Eigen::VectorXd gain =
          (1.0 + d.array() - di - di * d.array() + dij.array().square()).matrix();
      Eigen::Index best = 0;
      if (gain.maxCoeff(&best) > 1.0 + 1e-9) {
        slot = static_cast<int>(best);
        improved = true;
      }
    }
    if (!improved) return;
  }
}

}  // namespace

std::vector<StackingSequence> randomAllowedLaminates(const LaminateRules& rules, int count,
                                                     std::uint32_t seed, const StopRequest* stop) {
  std::mt19937 random(seed);
  std::gamma_distribution<double> lean(1.0, 1.0);
  std::vector<StackingSequence> laminates;
  for (int attempt = 0; attempt < 4 * count && static_cast<int>(laminates.size()) < count; ++attempt) {
    if (stopped(stop)) break;
    const double share[3] = {lean(random) + 1e-3, lean(random) + 1e-3, lean(random) + 1e-3};
    StackingSequence seq;
    seq.setPlyTotal(rules.plyTotal);
    int visits = 0;
    if (randomWalk(seq, rules, share, random, visits)) laminates.push_back(std::move(seq));
  }
  return laminates;
}

namespace {

// A panel's pool: `poolSize` pairs drawn from the two laminates' pools.
std::vector<PanelDesign> panelPool(const PlanRequest& request, std::mt19937& random) {
  const std::vector<StackingSequence> skins =
      laminatePool(request.skinRules, request.poolSize / 4, request.seed, request.stop);
  const std::vector<StackingSequence> stiffeners =
      laminatePool(request.stiffenerRules, request.poolSize / 4, request.seed + 1, request.stop);
  if (stopped(request.stop)) return {};
  std::vector<PanelDesign> pool;
  for (int k = 0; k < request.poolSize; ++k)
    pool.push_back({skins[random() % skins.size()], stiffeners[random() % stiffeners.size()], 0.0});
  return pool;
}

// A single laminate's pool: every distinct laminate found among `poolSize` random ones and the
// block laminates, each once (a design is its laminate alone, so drawing again adds nothing).
std::vector<PanelDesign> singleLaminatePool(const PlanRequest& request) {
  std::vector<StackingSequence> skins =
      laminatePool(request.skinRules, request.poolSize, request.seed, request.stop);
  std::vector<PanelDesign> pool;
  StackingSequence none;
  none.setPlyTotal(0);
  for (StackingSequence& skin : skins) pool.push_back({std::move(skin), none, 0.0});
  return pool;
}

}  // namespace

SamplingPlan dOptimalPlan(const PlanRequest& request) {
  SamplingPlan plan;
  const bool single = request.stiffenerRules.plyTotal == 0;
  const QuadraticTerms& terms = QuadraticTerms::forStiffener(request.stiffenerRules.plyTotal);
  plan.terms = terms.count();
  std::mt19937 random(request.seed + 2);
  const std::vector<PanelDesign> pool = single ? singleLaminatePool(request) : panelPool(request, random);
  if (stopped(request.stop)) {
    plan.stopped = true;
    return plan;
  }
  Eigen::MatrixXd rows(terms.count(), static_cast<Eigen::Index>(pool.size()));
  for (std::size_t k = 0; k < pool.size(); ++k) rows.col(k) = rowOf(pool[k], terms);
  if (request.count < 1) fatal(Stream::Err, "error: a plan needs at least one design", true);
  std::vector<int> chosen(request.count);
  for (int& c : chosen) c = static_cast<int>(random() % pool.size());
  const std::vector<int> plain = chosen;
  exchange(rows, chosen, request.stop);
  plan.poolSize = static_cast<int>(pool.size());
  for (const int c : chosen) plan.designs.push_back(pool[c]);
  if (stopped(request.stop)) {
    plan.stopped = true;
    plan.logDetPlan = plan.logDetRandom = plan.efficiencyAgainstRandom = std::nan("");
    return plan;
  }
  plan.logDetPlan = logDet(information(rows, chosen) / request.count);
  plan.logDetRandom = logDet(information(rows, plain) / request.count);
  plan.efficiencyAgainstRandom = std::exp((plan.logDetPlan - plan.logDetRandom) / terms.count());
  return plan;
}

}  // namespace kelm
