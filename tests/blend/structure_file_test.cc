#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "blend/blend_run.h"
#include "blend/blended_design_file.h"
#include "blend/structure_file.h"
#include "support/failure.h"

namespace kelm {
namespace {

namespace fs = std::filesystem;

class StructureFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelm_structure_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    // x5 is largest with 0 deg plies outside: a panel of 8 plies holds with 0 outside.
    for (int plies = 4; plies <= 12; ++plies) {
      write("m_" + std::to_string(plies) + ".rs", "0 0.0\n10000 " + std::to_string(plies / 8.0) + "\n");
      write("s_" + std::to_string(plies) + ".rs", "0 1.0\n100 0.5\n");  // reads x3: a stiffener term
    }
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
    return (dir_ / name).string();
  }
  std::string structure(const std::string& panelB, const std::string& extra = "") {
    return write("s.json", R"({"panels": [
      {"name": "A", "ply_weight": 2, "plies": "4:12", "require": [{"surface": "m_{plies}.rs", "limit": 0.8}]},
      )" + panelB + R"(], "adjacent": [["A", "B"]])" + extra + "}");
  }
  fs::path dir_;
};

TEST_F(StructureFileTest, SchemaFaultsAreNamed) {
  const std::string good = R"({"name": "B", "ply_weight": 1, "plies": [4, 8]})";
  const BlendedStructure read = readStructureFile(structure(good));
  ASSERT_EQ(read.panels.size(), 2u);
  EXPECT_EQ(read.panels[0].totals.size(), 5u);
  EXPECT_EQ(read.panels[0].totals[2].surfaces[0].name, "m_8.rs");
  EXPECT_EQ(read.adjacent.front(), (std::pair<int, int>{0, 1}));
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "5:8"})")),
                    "panels\\[1\\].plies: must be a range of even totals");
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "4:8", "rule": {}})")),
                    "panels\\[1\\]: unknown key \"rule\"");
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "A", "ply_weight": 1, "plies": "4:8"})")),
                    "\"A\" names two panels");
  EXPECT_FAILS_WITH(readStructureFile(structure(good, R"(, "blending": {"form": "zigzag"})")),
                    "blending.form: must be \"table\" or \"edge-wise\"");
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "4:8",
                                                    "objective": ["s_{plies}.rs"]})")),
                    "s_4.rs: a single laminate's surface reads only x1, x2, x5 and x6");
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "4:8",
                                                    "objective": ["none_{plies}.rs"]})")),
                    "panels\\[1\\].objective: .*none_4.rs: Cannot open");
  EXPECT_FAILS_WITH(readStructureFile(write("bad.json", "{\"panels\": [")), "bad.json: not JSON \\(parse error at line 1");
  // Numbers beyond the doubles, keys given twice and weights that overflow are named by place;
  // a folder cannot be opened.
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "4:8",
                                                    "require": [{"surface": "m_{plies}.rs", "limit": -1e999}]})")),
                    "panels\\[1\\].require\\[0\\].limit: -1e999 is beyond the range of numbers");
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "4:8", "plies": "4:6"})")),
                    "panels\\[1\\].plies: \"plies\" is given twice");
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1e308, "plies": "4:8"})")),
                    "panels\\[1\\].ply_weight: .*beyond the range of numbers");
  EXPECT_FAILS_WITH(readStructureFile(dir_.string()), "cannot open");
  // Odd totals under the mid-plane policy: every total of the range, each with its surfaces.
  const BlendedStructure odd = readStructureFile(
      structure(R"({"name": "B", "ply_weight": 1, "plies": "5:8"})", R"(, "blending": {"totals": "mid-plane"})"));
  EXPECT_EQ(odd.panels[0].totals.size(), 9u);
  EXPECT_EQ(odd.panels[1].totals.front().plies, 5);
  EXPECT_FAILS_WITH(readStructureFile(structure(good, R"(, "blending": {"totals": "odd"})")),
                    "blending.totals: must be \"even\" or \"mid-plane\"");
}

// A structure built in memory names its surfaces from the base directory it is given.
TEST_F(StructureFileTest, TextStructureReadsSurfacesFromItsBase) {
  const std::string text = R"({"panels": [{"name": "A", "ply_weight": 1, "plies": "4:6",
                                           "require": [{"surface": "m_{plies}.rs", "limit": 0.5}]}]})";
  const BlendedStructure read = readStructureText(text, "structure", dir_.string());
  EXPECT_EQ(read.panels[0].totals[1].surfaces[0].name, "m_6.rs");
  EXPECT_FAILS_WITH(readStructureText(text, "structure", (dir_ / "elsewhere").string()),
                    "error: structure: panels\\[0\\].require: .*elsewhere/m_4.rs: Cannot open");
  EXPECT_FAILS_WITH(readStructureText("{\"panels\": []}", "structure", ""), "error: structure: panels: must be a non-empty list");
}

// kelm_blend's JSON document is a design file: the independent check passes it, and a design
// edited to break a rule is refused with the rule named.
TEST_F(StructureFileTest, BlendResultPassesTheIndependentCheck) {
  const std::string file = structure(R"({"name": "B", "ply_weight": 1, "plies": "4:12", "rules": {"balance": false}})");
  const std::string json = (dir_ / "out.json").string();
  const std::string out = (dir_ / "out.txt").string();
  ASSERT_EQ(std::system((std::string(KELM_BLEND_PATH) + " " + file + " --json=" + json + " > " + out).c_str()), 0);
  std::ifstream report(out);
  const std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("status: optimal"), std::string::npos) << text;
  EXPECT_NE(text.find("weight = 20"), std::string::npos) << text;  // A 8 plies (x2), B 4
  const std::string check = std::string(KELM_EVAL_PATH) + " --structure " + file + " ";
  EXPECT_EQ(std::system((check + json + " > /dev/null").c_str()), 0);
  const BlendedDesign design = readDesignFile(json, readStructureFile(file));
  EXPECT_EQ(design.plies, (std::vector<int>{8, 4}));
  std::ifstream in(json);
  std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  doc.replace(doc.find("\"plies\": 8"), 10, "\"plies\": 6");
  write("edited.json", doc);
  EXPECT_NE(std::system((check + (dir_ / "edited.json").string() + " > " + out).c_str()), 0);
  // The weight the document states is checked too; a folder is a file that cannot be opened.
  doc.replace(doc.find("\"plies\": 6"), 10, "\"plies\": 8");
  doc.replace(doc.find("\"weight\": 20"), 12, "\"weight\": 19");
  write("weight.json", doc);
  EXPECT_EQ(std::system((check + (dir_ / "weight.json").string() + " > " + out).c_str()), 256);
  std::ifstream broken(out);
  const std::string verdict((std::istreambuf_iterator<char>(broken)), std::istreambuf_iterator<char>());
  EXPECT_NE(verdict.find("broken: weight: the file states 19, the panels weigh 20"), std::string::npos) << verdict;
  EXPECT_EQ(std::system((check + dir_.string() + " 2> /dev/null").c_str()), 256);
}

// The run steps kelm_blend and kelm.blend share: a start vector is checked against the panels'
// allowed totals, and the run gives one answer alone, from a start and with its vectors shared.
TEST_F(StructureFileTest, RunStepsGiveOneAnswerHoweverStarted) {
  const BlendedStructure plates =
      readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "4:12", "rules": {"balance": false}})"));
  EXPECT_EQ(startTotalsFault(plates, {8}, "start"), "start has 1 totals; the structure has 2 panels");
  EXPECT_EQ(startTotalsFault(plates, {8, 13}, "--start="), "--start=: 13 plies is not an allowed total of panel B");
  EXPECT_EQ(startTotalsFault(plates, {10, 6}, "start"), "");
  const LightestBlend alone = runLightestBlend(plates, {}, nullptr, {});
  ASSERT_EQ(alone.status, LightestBlend::Status::Optimal);
  for (const BlendRunSettings& settings : {BlendRunSettings{{10, 6}, false, 0}, BlendRunSettings{{}, false, 2},
                                           BlendRunSettings{{}, true, 2}}) {
    const LightestBlend other = runLightestBlend(plates, settings, nullptr, {});
    EXPECT_EQ(other.status, LightestBlend::Status::Optimal);
    EXPECT_EQ(other.weight, alone.weight);
    EXPECT_EQ(other.design.plies, alone.design.plies);
    if (!settings.weightOnly) {
      EXPECT_EQ(other.margin, alone.margin);
    }
    EXPECT_EQ(other.startOutcome.empty(), settings.start.empty());
  }
  EXPECT_EQ(checkedVerdict(plates, alone, "test").weight, alone.weight);
}

// A stiffened panel: its surfaces read the stiffener ("{stiffener}" names its total), the
// weight counts it, the report and the document give it, and the check judges the stiffener
// the document names.
TEST_F(StructureFileTest, StiffenedPanelEndToEnd) {
  // s_4.rs = 1 + 0.5 x3: at least 1.4 only with a stiffener of 0 deg plies alone.
  const std::string file = structure(R"({"name": "B", "ply_weight": 1, "plies": "4:12", "rules": {"balance": false},
      "stiffener": {"plies": 4, "ply_weight": 0.5}, "require": [{"surface": "s_{stiffener}.rs", "limit": 1.4}]})");
  const BlendedStructure read = readStructureFile(file);
  EXPECT_EQ(read.panels[1].totals[0].surfaces[0].name, "s_4.rs");
  EXPECT_EQ(read.panels[1].totals[0].stiffeners->tree().laminates().size(), 5u);  // the balanced ones
  const std::string json = (dir_ / "out.json").string();
  const std::string out = (dir_ / "out.txt").string();
  ASSERT_EQ(std::system((std::string(KELM_BLEND_PATH) + " " + file + " --json=" + json + " > " + out).c_str()), 0);
  std::ifstream report(out);
  const std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("weight = 22"), std::string::npos) << text;  // A 8 plies (x2), B 4, its stiffener 4 (x0.5)
  EXPECT_NE(text.find(", stiffener 4 plies [0/0]s"), std::string::npos) << text;
  const std::string check = std::string(KELM_EVAL_PATH) + " --structure " + file + " ";
  EXPECT_EQ(std::system((check + json + " > /dev/null").c_str()), 0);
  std::ifstream in(json);
  std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string chosen = "\"stiffener\": \"[0/0]s\"";
  const std::size_t at = doc.find(chosen);
  ASSERT_NE(at, std::string::npos) << doc;
  doc.replace(at, chosen.size(), "\"stiffener\": \"[0/90]s\"");
  write("edited.json", doc);
  EXPECT_NE(std::system((check + (dir_ / "edited.json").string() + " > " + out).c_str()), 0);
  std::ifstream broken(out);
  const std::string why((std::istreambuf_iterator<char>(broken)), std::istreambuf_iterator<char>());
  EXPECT_NE(why.find("broken: requirement: B: s_4.rs = 1 < 1.4"), std::string::npos) << why;
  EXPECT_FAILS_WITH(readStructureFile(structure(R"({"name": "B", "ply_weight": 1, "plies": "4:8",
                                                    "stiffener": {"plies": 64, "ply_weight": 1}})")),
                    "panels\\[1\\].stiffener.plies: .*too many laminates");
}

// Fixed ply numbers in a panel's rules: read per total, refused where a total's half differs,
// given back in the report and the document, and judged by the check. A of 7 plies (one 0, two
// +-45, one 90 deg position) with in-plane cos 2 at least 0.1 has its one 90 deg ply at the
// mid-plane; B of 6 plies has two 90 deg plies, which cannot be A's one with plies dropped.
TEST_F(StructureFileTest, FixedPlyNumbersAndOddTotalsInRealPlies) {
  write("x1.rs", "1 1.0\n");
  const auto twoPanels = [&](const std::string& limitA, const std::string& numbersA) {
    return write("two.json", R"({"panels": [
      {"name": "A", "ply_weight": 1, "plies": "7:7", "require": [{"surface": "x1.rs", "limit": )" + limitA + R"(}],
       "rules": {"ply_numbers": )" + numbersA + R"(}},
      {"name": "B", "ply_weight": 1, "plies": "6:6", "rules": {"ply_numbers": [0, 2, 1]}}],
      "adjacent": [["A", "B"]], "blending": {"totals": "mid-plane"}})");
  };
  const BlendedStructure read = readStructureFile(twoPanels("0.1", "[1, 2, 1]"));
  EXPECT_TRUE(read.panels[0].rulesFor(7).plyNumbersFixed);
  EXPECT_EQ(read.panels[0].rulesFor(7).ply90, 1);
  EXPECT_FAILS_WITH(readStructureFile(twoPanels("0.1", "[1, 2, 2]")),
                    "panels\\[0\\].rules.ply_numbers: fix a designed half of 5 positions");
  EXPECT_FAILS_WITH(readStructureFile(twoPanels("0.1", "[1, 2]")), "panels\\[0\\].rules.ply_numbers: must be");
  const std::string blend = std::string(KELM_BLEND_PATH) + " " + (dir_ / "two.json").string();
  const std::string json = (dir_ / "out.json").string(), out = (dir_ / "out.txt").string();
  twoPanels("0.1", "[1, 2, 1]");
  EXPECT_EQ(WEXITSTATUS(std::system((blend + " > " + out).c_str())), 2);  // infeasible
  twoPanels("-1", "[1, 2, 1]");
  ASSERT_EQ(std::system((blend + " --json=" + json + " > " + out).c_str()), 0);
  std::ifstream report(out);
  const std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("B: 6 plies [45/"), std::string::npos) << text;
  EXPECT_NE(text.find("]s (ply numbers 0/2/1)"), std::string::npos) << text;
  std::ifstream in(json);
  std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(doc.find("\"ply_numbers\": [\n    0,"), std::string::npos) << doc;
  const std::string check = std::string(KELM_EVAL_PATH) + " --structure " + (dir_ / "two.json").string() + " ";
  EXPECT_EQ(std::system((check + json + " > /dev/null").c_str()), 0);
  // Whichever design of the two was found, B made to keep A's mid-plane ply as a pair.
  const auto setStack = [&](std::size_t panel, const std::string& stack) {
    std::size_t at = 0;
    for (std::size_t p = 0; p <= panel; ++p) at = doc.find("\"stack\": \"", at) + 10;
    doc.replace(at, doc.find('"', at) - at, stack);
  };
  setStack(0, "[45/0/45/90]s");
  setStack(1, "[45/45/90]s");
  write("edited.json", doc);
  EXPECT_NE(std::system((check + (dir_ / "edited.json").string() + " > " + out).c_str()), 0);
  std::ifstream broken(out);
  const std::string why((std::istreambuf_iterator<char>(broken)), std::istreambuf_iterator<char>());
  EXPECT_NE(why.find("plies: B (6 plies, 0 x 0, 4 x 45, 2 x 90) is not A (7 plies, 2 x 0, 4 x 45, 1 x 90)"),
            std::string::npos) << why;
}

}  // namespace
}  // namespace kelm
