#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blend/blend_check.h"
#include "support/test_surfaces.h"

namespace kelm {
namespace {

StackingSequence laminate(int plies, const std::vector<int>& codes) {
  StackingSequence s;
  s.setPlyTotal(plies);
  for (std::size_t i = 0; i < codes.size(); ++i) s.setTheta(static_cast<int>(i) + 1, codes[i]);
  return s;
}

// Three panels in a row, A thickest; each allowed 4 to 12 plies; a surface x5 >= limit on A
// (x5 is the bending cos 2 parameter: 0 deg outside raises it).
BlendedStructure row(BlendForm form, int maxDrops, double limitA = -1.0) {
  BlendedStructure structure;
  structure.blending = {form, 1, maxDrops};
  for (const char* name : {"A", "B", "C"}) {
    BlendPanel panel;
    panel.name = name;
    panel.rules.balance = false;
    for (int plies = 4; plies <= 12; plies += 2) {
      PanelTotal total;
      total.plies = plies;
      ModeSurface mode;
      mode.name = "x5";
      mode.surface = testing::makeSurface({{testing::linearCode(5), 1.0}});
      mode.value.setFullObjective(mode.surface);
      mode.required = true;
      mode.limit = std::string(name) == "A" ? limitA : -1.0;
      total.surfaces.push_back(std::move(mode));
      panel.totals.push_back(std::move(total));
    }
    structure.panels.push_back(std::move(panel));
  }
  structure.adjacent = {{0, 1}, {1, 2}};
  return structure;
}

std::vector<std::string> rulesBroken(const BlendVerdict& verdict) {
  std::vector<std::string> rules;
  for (const RuleBreak& b : verdict.breaks) rules.push_back(b.rule);
  return rules;
}

// Edge-wise: the thinner neighbour must be found in order in the thicker one, its outer
// position kept, and no run of drops (the innermost included) longer than allowed.
TEST(BlendCheckTest, EdgeWiseNeedsAnOrderedEmbeddingWithinTheDropLimit) {
  const BlendedStructure structure = row(BlendForm::EdgeWise, 1);
  const StackingSequence a = laminate(12, {1, 0, 2, 0, 1, 2});
  BlendedDesign design{{12, 8, 8}, {}, {a, laminate(8, {1, 2, 0, 2}), laminate(8, {1, 2, 0, 2})}, {}};
  EXPECT_TRUE(checkBlendedDesign(structure, design).holds());
  design.laminates[1] = design.laminates[2] = laminate(8, {1, 0, 1, 2});  // drops 90, 0: a run of 2
  EXPECT_EQ(rulesBroken(checkBlendedDesign(structure, design)), (std::vector<std::string>{"subsequence"}));
  design.laminates[1] = design.laminates[2] = laminate(8, {0, 2, 0, 1});  // the outer 45 dropped
  EXPECT_EQ(rulesBroken(checkBlendedDesign(structure, design)).size(), 1u);
  design.laminates[1] = design.laminates[2] = laminate(8, {1, 0, 2, 2});  // out of order
  EXPECT_FALSE(checkBlendedDesign(structure, design).holds());
  design.laminates[2] = laminate(8, {1, 2, 0, 2});  // equal neighbours must be equal
  EXPECT_FALSE(checkBlendedDesign(structure, design).holds());
}

// The table form: level counts, each panel its cut, covering, drops per neighbour pair, and
// requirements named with the panel and surface.
TEST(BlendCheckTest, TableBreaksAreNamedWithWhere) {
  BlendedStructure structure = row(BlendForm::Table, 2);
  // A 12 plies (levels 1-3), B 8 (levels 1-2), C 4 (level 1).
  BlendedDesign design;
  design.plies = {12, 8, 4};
  design.guide = {{1, 1}, {2, 2}, {0, 3}, {0, 3}, {2, 1}, {1, 2}};
  design.laminates = laminatesFromGuide(design.guide, design.plies);
  EXPECT_EQ(design.laminates[1].bracketText(), "[45/90/90/45]s");
  BlendVerdict verdict = checkBlendedDesign(structure, design);
  EXPECT_TRUE(verdict.holds());
  EXPECT_DOUBLE_EQ(verdict.weight, 24.0);

  structure.blending.maxDrops = 1;  // A to B drops guide positions 3 and 4
  verdict = checkBlendedDesign(structure, design);
  ASSERT_EQ(rulesBroken(verdict), (std::vector<std::string>{"drops"}));
  EXPECT_EQ(verdict.breaks[0].where, "A to B: 2 consecutive positions dropped, ending at guide position 4");

  structure.blending.maxDrops = 3;
  design.guide[0].level = 2, design.guide[1].level = 1;  // the outer ply dropped by C
  design.laminates = laminatesFromGuide(design.guide, design.plies);
  EXPECT_EQ(rulesBroken(checkBlendedDesign(structure, design)), (std::vector<std::string>{"covering"}));

  design.guide[0].level = 3;  // one level-3 position too many
  EXPECT_EQ(rulesBroken(checkBlendedDesign(structure, design)), (std::vector<std::string>{"table"}));

  design.guide = {{1, 1}, {2, 2}, {0, 3}, {0, 3}, {2, 1}, {1, 2}};
  design.laminates = laminatesFromGuide(design.guide, design.plies);
  design.laminates[2] = laminate(4, {2, 1});  // not the guide's cut
  EXPECT_EQ(rulesBroken(checkBlendedDesign(structure, design)), (std::vector<std::string>{"table"}));

  design.laminates = laminatesFromGuide(design.guide, design.plies);
  structure = row(BlendForm::Table, 3, 0.5);  // A's x5 is below 0.5 with 45 outside
  verdict = checkBlendedDesign(structure, design);
  ASSERT_EQ(rulesBroken(verdict), (std::vector<std::string>{"requirement"}));
  EXPECT_EQ(verdict.breaks[0].where.rfind("A: x5 = ", 0), 0u);
  structure = row(BlendForm::Table, 3);
  structure.panels[2].rules.balance = true;  // C's [45/90]s has one +-45 position
  verdict = checkBlendedDesign(structure, design);
  ASSERT_EQ(rulesBroken(verdict), (std::vector<std::string>{"balance"}));
  EXPECT_EQ(verdict.breaks[0].where, "C: [45/90]s breaks the balance");
  design.plies[0] = 14;  // not an allowed total
  EXPECT_EQ(rulesBroken(checkBlendedDesign(structure, design)).front(), "ply total");
}

}  // namespace
}  // namespace kelm
