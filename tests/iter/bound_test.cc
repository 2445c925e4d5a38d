#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "iter/bound_model.h"
#include "iter/objective_model.h"
#include "support/failure.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

using testing::linearCode;
using testing::makeDesign;
using testing::makeSequence;
using testing::makeSurface;
using testing::productCode;
using testing::squareCode;
using testing::Term;

double boundOf(const std::vector<Term>& terms, const ActiveDesign& design) {
  BoundModel model;
  model.setBoundModel(makeSurface(terms));
  model.setBoundTerms(design);
  return EvaluateBranch_iter(design, model);
}

// The block of the pair x_first, x_first+1 is -2 I; linear coefficients a and b.
std::vector<Term> concave(int first, double a, double b) {
  return {{squareCode(first), -1.0}, {squareCode(first + 1), -1.0}, {linearCode(first), a},
          {linearCode(first + 1), b}};
}

std::vector<int> randomCodes(std::mt19937& random, int count) {
  std::vector<int> codes(count);
  for (int& code : codes) code = static_cast<int>(random() % 3);
  return codes;
}

TEST(EvaluateBranchTest, BoundIsTheBestPointOfTheTriangleReachableByTheOpenPlies) {
  const StackingSequence complete = makeSequence(6, {0, 1, 2});
  const ActiveDesign emptySkin = makeDesign(makeSequence(8, {}), complete, true);
  const ActiveDesign emptyStiffener = makeDesign(complete, makeSequence(8, {}), false);
  EXPECT_NEAR(boundOf({{linearCode(1), 1.0}}, emptySkin), 1.0, 1e-12);   // V0
  EXPECT_NEAR(boundOf({{linearCode(1), -1.0}}, emptySkin), 1.0, 1e-12);  // V90
  // The interior stationary point (0.1, 0.2) lies inside and wins, for the in-plane and the
  // bending pair of either laminate.
  for (int first : {1, 5, 3, 7})
    EXPECT_NEAR(boundOf(concave(first, 0.2, 0.4), first % 4 == 1 ? emptySkin : emptyStiffener),
                0.05, 1e-12)
        << "x" << first;
  // The interior point (2, 0) lies outside; the point (0.8, 0.6) on the edge V0-V45 beats V0.
  EXPECT_NEAR(boundOf(concave(1, 4.0, 0.0), emptySkin), 2.2, 1e-12);
  // The interior point (0, 2) lies above the triangle; the point (0, 1) of edge V0-V90 wins.
  EXPECT_NEAR(boundOf(concave(1, 0.0, 4.0), emptySkin), 3.0, 1e-12);

  // A 90 deg outer ply of four: the in-plane parameter is -0.25, three quarters are open.
  EXPECT_NEAR(boundOf({{linearCode(1), 1.0}}, makeDesign(makeSequence(8, {2}), complete, true)),
              0.5, 1e-12);
  // A 0 deg outer ply fixes 1 - 0.75^3 of the bending parameter; the rest is open.
  EXPECT_NEAR(boundOf({{linearCode(7), 1.0}}, makeDesign(complete, makeSequence(8, {0}), false)),
              1.0, 1e-12);
}

TEST(BoundModelTest, CouplingBoundsAndCandidateSystemsComeFromTheSurface) {
  BoundModel coupled;
  coupled.setBoundModel(makeSurface({{productCode(1, 5), 1.0}, {productCode(2, 6), 1.0},
                                     {productCode(3, 7), -1.0}, {productCode(4, 8), -1.0}}));
  EXPECT_DOUBLE_EQ(coupled.skinCouplingBound(), 2.0);       // V0-V0 and V90-V90
  EXPECT_DOUBLE_EQ(coupled.stiffenerCouplingBound(), 1.0);  // V0-V45

  BoundModel definite;  // block11 = diag(-2, -1); every other block zero
  definite.setBoundModel(makeSurface({{squareCode(1), -1.0}, {squareCode(2), -0.5}}));
  EXPECT_EQ(definite.skinCouplingBound(), 0.0);
  EXPECT_EQ(definite.stiffenerCouplingBound(), 0.0);
  for (int group = 0; group < kGroups; ++group)
    for (int kind = 0; kind < kCandidateKinds; ++kind)
      EXPECT_EQ(definite.candidates().solvable[group][kind], group == 0) << group << kind;

  BoundModel indefinite;
  indefinite.setBoundModel(makeSurface({{squareCode(1), -1.0}, {squareCode(2), 0.5}}));
  EXPECT_FALSE(indefinite.candidates().solvable[0][0]);
}

// Every completion of every partial laminate, with the other laminate fixed, stays at or below
// the bound; odd totals put a mid-plane ply among the open positions.
TEST(EvaluateBranchTest, NoCompletionExceedsTheBound) {
  std::mt19937 random(2024);
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    const ResponseSurface surface = testing::randomSurface(seed, {seed % 2 == 0, seed % 3 != 0});
    BoundModel bound;
    bound.setBoundModel(surface);
    ObjectiveModel objective;
    objective.setObjectiveModel(surface);
    const int activeTotal = 7 + static_cast<int>(seed % 2);
    const int fixedTotal = 5 + static_cast<int>(seed % 3);
    for (bool skinActive : {true, false}) {
      const StackingSequence fixed =
          makeSequence(fixedTotal, randomCodes(random, (fixedTotal + 1) / 2));
      for (int set = 0; set < 4; ++set) {
        const StackingSequence partial = makeSequence(activeTotal, randomCodes(random, set));
        const ActiveDesign design = skinActive ? makeDesign(partial, fixed, true)
                                              : makeDesign(fixed, partial, false);
        bound.setBoundTerms(design);
        objective.setObjectiveTerms(design);
        const double b = EvaluateBranch_iter(design, bound);
        testing::forEachCompletion(partial, [&](const StackingSequence& complete) {
          ActiveDesign completed = design;
          completed.active() = complete;
          EXPECT_LE(objective.objectivefunc(completed), b + 1e-10)
              << "seed " << seed << " skin " << skinActive << " " << complete.bracketText();
        });
      }
    }
  }
}

TEST(ObjectiveModelTest, EqualsTheFullQuadraticWhicheverLaminateIsActive) {
  std::mt19937 random(7);
  for (std::uint32_t seed = 1; seed <= 8; ++seed) {
    const ResponseSurface surface = testing::randomSurface(seed, {seed % 2 == 1, false});
    ObjectiveModel objective;
    objective.setObjectiveModel(surface);
    const StackingSequence skin = makeSequence(9, randomCodes(random, 5));
    const StackingSequence stiffener = makeSequence(6, randomCodes(random, 3));
    for (bool skinActive : {true, false}) {
      const ActiveDesign design = makeDesign(skin, stiffener, skinActive);
      objective.setObjectiveTerms(design);
      EXPECT_NEAR(objective.objectivefunc(design),
                  testing::directObjective(surface, skin, stiffener), 1e-12)
          << seed;
    }
  }
}

TEST(ObjectiveModelDeathTest, IncompleteDesignOrDesignOfTheOtherLaminateIsRejected) {
  const ResponseSurface surface = makeSurface({{0, 3.5}});
  ActiveDesign design = makeDesign(makeSequence(4, {0, 1}), makeSequence(4, {2, 0}), true);
  ObjectiveModel objective;
  objective.setObjectiveModel(surface);
  objective.setObjectiveTerms(design);
  BoundModel bound;
  bound.setBoundModel(surface);
  bound.setBoundTerms(design);

  design.skinActive = false;
  EXPECT_FAILS_WITH(objective.objectivefunc(design), "^flag is not correct\\. @objectivefunc$");
  EXPECT_FAILS_WITH(EvaluateBranch_iter(design, bound), "^flag is not correct\\. @EvaluateBranch_iter$");
  design.design.stiffener = makeSequence(4, {2});  // completeness is checked first
  EXPECT_FAILS_WITH(objective.objectivefunc(design), "^error @objectivefunc$");
  design.skinActive = true;  // the incomplete laminate is the fixed one
  EXPECT_FAILS_WITH(objective.objectivefunc(design), "^error @objectivefunc$");
}

}  // namespace
}  // namespace kelm
