#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "search/panel_value.h"
#include "alt/joint_bound_model.h"
#include "search/coupling_bound.h"
#include "search/candidate_max.h"
#include "support/failure.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

using testing::linearCode;
using testing::makeDesign;
using testing::makeSequence;
using testing::makeSurface;
using testing::productCode;

std::vector<int> randomCodes(std::mt19937& random, int count) {
  std::uniform_int_distribution<int> code(0, 2);
  std::vector<int> codes(count);
  for (int& c : codes) c = code(random);
  return codes;
}

// The bound of `child` as the search computes it: terms prepared from its parent, which lacks
// the child's last ply of the active laminate.
double boundFromParent(const ResponseSurface& surface, const ActiveDesign& child) {
  ActiveDesign parent = child;
  StackingSequence& active = parent.active();
  std::vector<int> codes;
  for (int p = 1; p < active.setCount(); ++p) codes.push_back(active.getCode(p));
  active = makeSequence(static_cast<int>(active.halfPlies() * 2), codes);
  JointBoundModel model;
  model.setJointBoundModel(surface);
  model.setJointBoundTerms(parent);
  return model.evaluateJointBound(child);
}

double boundOf(const ResponseSurface& surface, const ActiveDesign& design) {
  JointBoundModel model;
  model.setJointBoundModel(surface);
  model.setJointBoundTerms(design);
  return model.evaluateJointBound(design);
}

double bestCompletion(const ResponseSurface& surface, const ActiveDesign& design) {
  FullObjective objective;
  objective.setFullObjective(surface);
  double best = -std::numeric_limits<double>::infinity();
  testing::forEachCompletion(design.design.skin, [&](const StackingSequence& skin) {
    testing::forEachCompletion(design.design.stiffener, [&](const StackingSequence& stiffener) {
      best = std::max(best, fullObjective(objective, makeDesign(skin, stiffener, true).design));
    });
  });
  return best;
}

TEST(JointBoundTest, BoundsEveryCompletionWhicheverLaminateIsExtended) {
  std::mt19937 random(314159);
  std::uniform_int_distribution<int> plyTotal(5, 8);
  for (int trial = 0; trial < 80; ++trial) {
    testing::RandomSurfaceOptions options;
    options.sparse = trial % 3 == 1;
    options.negativeDefiniteBlocks = trial % 3 == 2;
    const ResponseSurface surface = testing::randomSurface(500 + trial, options);
    const int ts = plyTotal(random);
    const int tt = plyTotal(random);
    // At least one ply in the active laminate, at least one open position in each.
    const bool skinActive = trial % 2 == 0;
    const int ks = std::uniform_int_distribution<int>(skinActive, ts - ts / 2 - 1)(random);
    const int kt = std::uniform_int_distribution<int>(!skinActive, tt - tt / 2 - 1)(random);
    const ActiveDesign child = makeDesign(makeSequence(ts, randomCodes(random, ks)),
                                         makeSequence(tt, randomCodes(random, kt)), skinActive);
    SCOPED_TRACE("trial " + std::to_string(trial));
    const double bound = boundFromParent(surface, child);
    EXPECT_GE(bound, bestCompletion(surface, child) - 1e-12);

    // The bound is a property of the design: taking the other laminate as the one that stays
    // fixed must give the same value.
    ActiveDesign swapped = child;
    swapped.skinActive = !skinActive;
    EXPECT_NEAR(boundOf(surface, swapped), bound, 1e-12 * (1.0 + std::fabs(bound)));
  }
}

TEST(JointBoundTest, IsTightWhenEveryGroupPrefersTheZeroDegreeVertex) {
  std::vector<testing::Term> terms;
  for (int i = 1; i <= 8; ++i) terms.emplace_back(linearCode(i), 0.1 * i);
  const ResponseSurface surface = makeSurface(terms);
  for (bool skinActive : {true, false}) {
    const ActiveDesign child =
        makeDesign(makeSequence(9, {1, 2}), makeSequence(8, {2, 0, 1}), skinActive);
    EXPECT_NEAR(boundFromParent(surface, child), bestCompletion(surface, child), 1e-13);
  }
}

TEST(JointBoundTest, SingleGroupSurfacesBoundToTheirExactMaximum) {
  using testing::squareCode;
  for (bool skinActive : {true, false}) {
    for (const StackingSequence& stiffener : {makeSequence(12, {}), makeSequence(11, {2, 2, 0, 1})}) {
      const ActiveDesign someSkin = makeDesign(makeSequence(10, {1, 2}), stiffener, skinActive);
      EXPECT_EQ(boundOf(makeSurface({{0, 2.0}}), someSkin), 2.0);
      // An empty skin can still become all 0 deg: group 0 reaches the vertex V0.
      const ActiveDesign emptySkin = makeDesign(makeSequence(10, {}), stiffener, skinActive);
      EXPECT_DOUBLE_EQ(boundOf(makeSurface({{linearCode(1), 1.0}}), emptySkin), 1.0);
    }
    const ActiveDesign open = makeDesign(makeSequence(10, {}), makeSequence(9, {}), skinActive);
    // Hessian -2 I on the skin's in-plane pair: the interior stationary point (0.1, 0.2) wins.
    const ResponseSurface interior = makeSurface(
        {{squareCode(1), -1.0}, {squareCode(2), -1.0}, {linearCode(1), 0.2}, {linearCode(2), 0.4}});
    EXPECT_NEAR(boundOf(interior, open), 0.05, 1e-15);
    // The same on the stiffener's bending pair, pulled outside the triangle: the stationary
    // point (0.8, 0.6) on the edge V0-V45 wins with 2.2, above the vertex V0 (2.0).
    const ResponseSurface edge =
        makeSurface({{squareCode(7), -1.0}, {squareCode(8), -1.0}, {linearCode(7), 4.0}});
    EXPECT_NEAR(boundOf(edge, open), 2.2, 1e-15);
  }
}

TEST(JointBoundTest, CouplingOfSkinAndStiffenerInPlaneScalesWithBothOpenFractions) {
  // Skin in-plane variables x1, x2 with stiffener in-plane variables x3, x4.
  const ResponseSurface surface = makeSurface({{productCode(1, 3), 0.7}, {productCode(1, 4), -0.4},
                                               {productCode(2, 3), 0.25}, {productCode(2, 4), -1.1}});
  JointBoundModel model;
  model.setJointBoundModel(surface);
  const double expected = couplingBound(surface.block13());
  EXPECT_GT(expected, 0.0);
  EXPECT_EQ(model.couplingBounds()[2], expected);
  for (int i : {0, 1, 3, 4, 5}) EXPECT_EQ(model.couplingBounds()[i], 0.0);

  // 0, 90, 45, 45 deg cancel in-plane, so the current value and both gradients vanish and the
  // bound is the coupling term alone: 1/5 of the skin and 2/6 of the stiffener are open.
  for (bool skinActive : {true, false}) {
    const ActiveDesign design =
        makeDesign(makeSequence(10, {0, 2, 1, 1}), makeSequence(12, {1, 0, 1, 2}), skinActive);
    EXPECT_NEAR(boundOf(surface, design), expected * 0.2 * (2.0 / 6.0), 1e-15);
  }
}

TEST(JointBoundTest, FullObjectiveMatchesTheBlockFormAndTheTermList) {
  std::mt19937 random(99);
  for (int trial = 0; trial < 30; ++trial) {
    const ResponseSurface m = testing::randomSurface(900 + trial);
    const int ts = 5 + trial % 6;
    const int tt = 12 - trial % 5;
    const StackingSequence skin = makeSequence(ts, randomCodes(random, ts - ts / 2));
    const StackingSequence stiffener = makeSequence(tt, randomCodes(random, tt - tt / 2));
    const Vector xs = skin.inPlaneLP(), ys = skin.bendingLP();
    const Vector xt = stiffener.inPlaneLP(), yt = stiffener.bendingLP();
    const double blockForm =
        m.constant + m.linear1().dot(xs) + m.linear2().dot(ys) + m.linear3().dot(xt) +
        m.linear4().dot(yt) + 0.5 * xs.dot(m.block11() * xs) + xs.dot(m.block12() * ys) +
        0.5 * ys.dot(m.block22() * ys) + 0.5 * xt.dot(m.block33() * xt) +
        xt.dot(m.block34() * yt) + 0.5 * yt.dot(m.block44() * yt) + xs.dot(m.block13() * xt) +
        xs.dot(m.block14() * yt) + ys.dot(m.block23() * xt) + ys.dot(m.block24() * yt);
    FullObjective objective;
    objective.setFullObjective(m);
    const double value = fullObjective(objective, makeDesign(skin, stiffener, true).design);
    EXPECT_NEAR(value, blockForm, 1e-12);
    EXPECT_NEAR(value, testing::directObjective(m, skin, stiffener), 1e-12);
  }
}

TEST(JointBoundDeathTest, FullObjectiveRejectsIncompleteDesigns) {
  FullObjective objective;
  objective.setFullObjective(testing::randomSurface(3));
  const StackingSequence complete = makeSequence(6, {0, 1, 2});
  const StackingSequence partial = makeSequence(6, {0, 1});
  EXPECT_FAILS_WITH(fullObjective(objective, makeDesign(partial, complete, true).design), "^error: @objectivefunc$");
  EXPECT_FAILS_WITH(fullObjective(objective, makeDesign(complete, partial, false).design), "^error: @objectivefunc$");
}

}  // namespace
}  // namespace kelm
