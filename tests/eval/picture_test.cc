// The pictures of designs, sampling plans and fits must be documents a renderer accepts, with
// every point drawn and every title inside the page, whatever the input.
#include <gtest/gtest.h>

#include <limits>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "base/fatal.h"
#include "eval/design_picture.h"
#include "eval/plan_picture.h"
#include "laminate/laminate_text.h"

namespace kelm {
namespace {

int count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++n;
  return n;
}

// Every element closed in order, one root, and no coordinate that is not a number.
void expectWellFormed(const std::string& svg) {
  static const std::regex tag("<(/?)([a-z]+)[^>]*?(/?)>");
  std::vector<std::string> open;
  int roots = 0;
  for (std::sregex_iterator it(svg.begin(), svg.end(), tag), end; it != end; ++it) {
    const std::string name = (*it)[2];
    if ((*it)[1].length() > 0) {
      ASSERT_FALSE(open.empty()) << "</" << name << "> closes nothing";
      ASSERT_EQ(open.back(), name);
      open.pop_back();
    } else if ((*it)[3].length() == 0) {
      roots += open.empty();
      open.push_back(name);
    }
  }
  EXPECT_TRUE(open.empty());
  EXPECT_EQ(roots, 1);
  EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
  EXPECT_EQ(svg.find("nan"), std::string::npos);
  EXPECT_EQ(svg.find("inf"), std::string::npos);
}

PanelDesign design(int skinTotal, int stiffenerTotal, const std::string& skin,
                   const std::string& stiffener) {
  return {parseHalfLaminate(skin, skinTotal, "skin"),
          parseHalfLaminate(stiffener, stiffenerTotal, "stiffener"), 123.456789};
}

std::string repeated(const std::string& angle, int count) {
  std::string text = "[" + angle;
  for (int i = 1; i < count; ++i) text += "/" + angle;
  return text + "]s";
}

// Widths of a title's characters in font sizes, a little above those of the common sans-serif
// face a renderer picks (digits 0.636, brackets 0.390, slash 0.337).
double titleWidth(const std::string& text, double size) {
  double width = 0.0;
  for (const char c : text)
    width += std::string_view(" /.").find(c) != std::string_view::npos ? 0.35
             : std::string_view("[]()").find(c) != std::string_view::npos ? 0.4
                                                                          : 0.65;
  return width * size;
}

// A title as kelm_eval writes it, for stacks up to 64 plies.
TEST(PictureTest, LongTitlesStayWithinThePictureAndLoseNoText) {
  const PanelDesign designs[] = {
      design(32, 32, "[45/45/45/45/45/45/45/45/45/45/45/45/90/90/90/90]s",
             "[45/45/45/45/45/45/45/45/0/0/0/0/0/0/0/0]s"),
      design(64, 64, repeated("45", 32), repeated("90", 32)),
      design(8, 6, "[45/45/0/90]s", "[45/90/90]s")};
  const std::regex line("<text class='title' x='([0-9.]+)' y='[0-9.]+' font-size='([0-9.]+)'>"
                        "([^<]*)</text>");
  for (const PanelDesign& d : designs) {
    const std::string title = d.skin.bracketText() + "  " + d.stiffener.bracketText() +
                              "  value 123.456789  (line 12)";
    const std::string svg = designSvg(d, title);
    expectWellFormed(svg);
    std::string drawn;
    int lines = 0;
    for (std::sregex_iterator it(svg.begin(), svg.end(), line), end; it != end; ++it, ++lines) {
      const double x = std::stod((*it)[1]), size = std::stod((*it)[2]);
      const std::string text = (*it)[3];
      EXPECT_LE(x + titleWidth(text, size), 760.0) << text;
      EXPECT_GE(size, 9.0) << text;
      drawn += text;
    }
    std::string whole = title;
    std::erase(whole, ' ');
    std::erase(drawn, ' ');
    EXPECT_EQ(drawn, whole);
    EXPECT_EQ(lines, titleWidth(title, 15) + 10 <= 760 ? 1 : 2) << title;
  }
}

TEST(PictureTest, DiagramsCarryAxisValuesNamesAndEveryPoint) {
  const std::string svg = designSvg(design(8, 6, "[45/45/0/90]s", "[45/90/90]s"), "a & b");
  for (const char* value : {"\u22121", "\u22120.5", "0", "0.5", "1"})  // both axes, both diagrams
    EXPECT_EQ(count(svg, "font-size='10'>" + std::string(value) + "<"), 4) << value;
  EXPECT_EQ(count(svg, ">ξ1<"), 2);
  EXPECT_EQ(count(svg, ">ξ2<"), 2);
  EXPECT_EQ(count(svg, "class='point'"), 4);
  EXPECT_NE(svg.find("a &amp; b"), std::string::npos);

  const std::vector<PanelDesign> plan = {design(8, 6, "[45/45/0/90]s", "[45/90/90]s"),
                                         design(8, 6, "[0/0/0/0]s", "[90/90/90]s"),
                                         design(8, 6, "[45/90/0/45]s", "[0/45/0]s")};
  const std::string planned = planSvg(plan, "three designs");
  expectWellFormed(planned);
  EXPECT_EQ(count(planned, "class='point'"), 12);
  EXPECT_EQ(count(planned, ">\u22120.5<"), 8);
  const std::string empty = planSvg({}, "");
  expectWellFormed(empty);
  EXPECT_EQ(count(empty, "class='point'"), 0);
}

// Equal values, one sample or none leave no range to divide by; values that are not numbers
// are left out; lists of different lengths are the caller's fault.
TEST(PictureTest, FitPicturesSurviveDegenerateSamples) {
  const std::string fit = fitSvg({1.0, 2.0, 3.5}, {1.1, 1.9, 3.6}, "fit");
  expectWellFormed(fit);
  EXPECT_EQ(count(fit, "class='point'"), 3);
  EXPECT_NE(fit.find("3 samples, RMS error"), std::string::npos);
  const std::pair<std::vector<double>, int> cases[] = {
      {{}, 0}, {{7.0}, 1}, {{2.0, 2.0, 2.0}, 3}, {{0.0, 0.0}, 2}, {{1e9, 1e9 + 1e-6}, 2}};
  for (const auto& [values, points] : cases) {
    const std::string svg = fitSvg(values, values, "degenerate");
    expectWellFormed(svg);
    EXPECT_EQ(count(svg, "class='point'"), points);
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const std::string partial = fitSvg({1.0, nan, 3.0}, {1.0, 2.0, infinity}, "");
  expectWellFormed(partial);
  EXPECT_EQ(count(partial, "class='point'"), 1);
  EXPECT_THROW(fitSvg({1.0, 2.0}, {1.0}, ""), Failure);
}

}  // namespace
}  // namespace kelm
