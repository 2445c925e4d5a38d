#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "alt/simultaneous_search.h"
#include "fitting/csv_table.h"
#include "fitting/least_squares_fit.h"
#include "fitting/sampling_plan.h"
#include "fitting/target_surface.h"
#include "laminate/design_rules.h"
#include "response/full_objective.h"
#include "response/laminate_terms.h"
#include "response/rs_file.h"
#include "support/capture.h"
#include "support/failure.h"

namespace kelm {
namespace {

template <typename Coefficients>
double quadraticAt(const Coefficients& c, const SurfaceParameters& x,
                   const QuadraticTerms& terms = QuadraticTerms::panel()) {
  double row[kQuadraticTerms], value = 0.0;
  terms.row(x, row);
  for (int k = 0; k < terms.count(); ++k) value += c[k] * row[k];
  return value;
}

std::vector<SurfaceParameters> randomPoints(int n, std::mt19937& random) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<SurfaceParameters> points(n);
  for (SurfaceParameters& p : points)
    for (double& x : p) x = unit(random);
  return points;
}

// Samples of a known quadratic give back its coefficients, exactly without noise and within
// the noise with it; the file it writes is read back to the same coefficients and values.
TEST(FittingTest, KnownQuadraticRoundTripsThroughFitAndFile) {
  std::mt19937 random(11);
  std::normal_distribution<double> normal(0.0, 1.0);
  QuadraticCoefficients truth;
  for (double& c : truth) c = normal(random);
  const std::vector<SurfaceParameters> x = randomPoints(200, random);
  std::vector<double> exact, noisy;
  for (const SurfaceParameters& p : x) {
    exact.push_back(quadraticAt(truth, p));
    noisy.push_back(exact.back() + 0.01 * normal(random));
  }
  const QuadraticFit fit = fitQuadratic(x, exact, {});
  for (int k = 0; k < kQuadraticTerms; ++k) EXPECT_NEAR(fit.coefficients[k], truth[k], 1e-9) << k;
  EXPECT_NEAR(fit.rSquared, 1.0, 1e-12);
  const QuadraticFit rough = fitQuadratic(x, noisy, std::vector<double>(x.size(), 2.0));
  for (int k = 0; k < kQuadraticTerms; ++k) EXPECT_NEAR(rough.coefficients[k], truth[k], 0.05) << k;
  EXPECT_LT(rough.rSquared, 1.0);
  EXPECT_NEAR(rough.rmsResidual, 0.01, 0.003);
  EXPECT_GT(rough.pressRms, rough.rmsResidual);

  ResponseSurface surface;
  parseRsText(fittedSurfaceText(fit, "fitted\ntwo lines"), surface);
  FullObjective objective;
  objective.setFullObjective(surface);
  ASSERT_EQ(surface.termValues().size(), static_cast<std::size_t>(kQuadraticTerms));
  for (int k = 0; k < kQuadraticTerms; ++k) EXPECT_EQ(surface.termValues()[k], fit.coefficients[k]);
  const SurfaceParameters& p = x[7];
  const double model[8] = {p[0], p[1], p[4], p[5], p[2], p[3], p[6], p[7]};  // model order
  EXPECT_NEAR(objective.fullObjective(model), quadraticAt(fit.coefficients, p), 1e-12);
}

TEST(FittingTest, PlansThatCannotDetermineTheTermsAreRefused) {
  std::mt19937 random(3);
  std::vector<SurfaceParameters> x = randomPoints(44, random);
  const std::vector<double> y(60, 1.0);
  EXPECT_FAILS_WITH(fitQuadratic(x, y, {}), "^error: 44 samples cannot determine the 45 terms");
  x = randomPoints(60, random);
  for (SurfaceParameters& p : x) p[2] = 0.25;
  EXPECT_FAILS_WITH(fitQuadratic(x, y, {}), "^error: x3 does not vary in the samples");
  for (SurfaceParameters& p : x) p[2] = p[0] * 0.5 + p[1];  // x3 a combination of x1 and x2
  EXPECT_FAILS_WITH(fitQuadratic(x, y, {}), "do not determine every term");
  EXPECT_FAILS_WITH(parseCsv("a,b\n1,2,3\n", "t.csv"), "^error: t.csv line 2 has 3 cells");
}

// Every design of a plan keeps both laminates' rules, and the plan determines the quadratic
// better than a random choice of the same size.
TEST(FittingTest, PlanKeepsTheRulesAndBeatsARandomPlan) {
  PlanRequest request;
  request.skinRules.plyTotal = 20;
  request.skinRules.halfPlyCount = 10;
  request.skinRules.fourPlyRule = true;
  request.stiffenerRules.plyTotal = 15;
  request.stiffenerRules.halfPlyCount = 8;
  request.stiffenerRules.maxRun = 2;
  request.stiffenerRules.outer45 = true;
  request.count = 60;
  request.seed = 5;
  request.poolSize = 600;
  const SamplingPlan plan = dOptimalPlan(request);
  ASSERT_EQ(plan.designs.size(), 60u);
  for (const PanelDesign& d : plan.designs) {
    EXPECT_TRUE(checkComplete(d.skin, request.skinRules)) << d.skin.bracketText();
    EXPECT_TRUE(checkComplete(d.stiffener, request.stiffenerRules)) << d.stiffener.bracketText();
  }
  EXPECT_GT(plan.efficiencyAgainstRandom, 1.5);
  const SamplingPlan again = dOptimalPlan(request);
  EXPECT_EQ(again.designs.front().skin, plan.designs.front().skin);  // the seed decides
}

// A plan of single laminates (no stiffener) determines the 15 terms of x1, x2, x5, x6: a known
// quadratic sampled on it comes back, and its file reads no stiffener parameter, so the
// single-laminate searches take it.
TEST(FittingTest, SingleLaminatePlanRecoversTheSkinQuadratic) {
  PlanRequest request;
  request.skinRules.plyTotal = 24;
  request.skinRules.halfPlyCount = 12;
  request.stiffenerRules.plyTotal = 0;
  request.stiffenerRules.balance = false;
  request.count = 30;
  request.seed = 9;
  request.poolSize = 400;
  const SamplingPlan plan = dOptimalPlan(request);
  ASSERT_EQ(plan.designs.size(), 30u);
  EXPECT_EQ(plan.terms, 15);
  EXPECT_GT(plan.efficiencyAgainstRandom, 1.0);
  const QuadraticTerms& terms = QuadraticTerms::singleLaminate();
  std::mt19937 random(4);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> truth(terms.count());
  for (double& c : truth) c = normal(random);
  std::vector<SurfaceParameters> x;
  std::vector<double> y;
  for (const PanelDesign& d : plan.designs) {
    EXPECT_EQ(d.stiffener.plyCount(), 0);
    x.push_back(fileParameters(d));
    y.push_back(quadraticAt(truth, x.back(), terms));
  }
  const QuadraticFit fit = fitQuadratic(x, y, {}, terms);
  ASSERT_EQ(fit.coefficients.size(), truth.size());
  for (int k = 0; k < terms.count(); ++k) EXPECT_NEAR(fit.coefficients[k], truth[k], 1e-8) << k;
  EXPECT_NE(fitReport(fit, "r").find("30 samples, 15 terms"), std::string::npos);
  ResponseSurface surface;
  parseRsText(fittedSurfaceText(fit, ""), surface);
  EXPECT_EQ(surface.termValues().size(), 15u);
  EXPECT_FALSE(firstStiffenerTerm(surface));
}

// The target of a design's own parameters brings back that design at distance 0 (value C).
TEST(FittingTest, TargetOfADesignsOwnParametersFindsIt) {
  LaminateRules rules;
  rules.plyTotal = 12;
  rules.halfPlyCount = 6;
  StackingSequence skin, stiffener;
  skin.setPlyTotal(12);
  stiffener.setPlyTotal(12);
  const int codes[6] = {1, 1, 0, 2, 1, 1};
  for (int p = 1; p <= 6; ++p) {
    skin.setTheta(p, codes[p - 1]);
    stiffener.setTheta(p, codes[6 - p]);
  }
  const SurfaceParameters target = fileParameters(PanelDesign{skin, stiffener, 0.0});
  SurfaceParameters weights;
  weights.fill(1.0);
  ResponseSurface surface;
  parseRsText(surfaceFileText(targetSurface(target, weights), ""), surface);
  SimultaneousSearch search(surface, rules, rules, 1u, true);
  search.setStepCounterShown(false);
  search.run(12, 12);
  ASSERT_FALSE(search.results().empty());
  EXPECT_NEAR(search.best(), targetOffset(target, weights), 1e-12);
  bool found = false;
  for (const PanelDesign& d : search.results()) found = found || (d.skin == skin && d.stiffener == stiffener);
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kelm
