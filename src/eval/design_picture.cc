#include "eval/design_picture.h"

#include <cstdio>
#include <sstream>

#include "laminate/layup_stack.h"

namespace kelm {

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 420;
constexpr int kStackTop = 60;
constexpr int kStackHeight = 320;
constexpr const char* kSkinColour = "#1f77b4";
constexpr const char* kStiffenerColour = "#d62728";

const char* layerColour(int angle) {
  switch (angle) {
    case 0: return "#4e79a7";
    case 90: return "#f28e2b";
    case 45: return "#59a14f";
    default: return "#8cd17d";  // -45
  }
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// The whole stack of one laminate, outer surface on top, in a column at `x`.
void drawStack(std::ostringstream& svg, const LayupStack& stack, int x, const char* name) {
  const int plies = static_cast<int>(stack.angles.size());
  const double layer = static_cast<double>(kStackHeight) / plies;
  svg << "<text x='" << x + 40 << "' y='" << kStackTop - 12
      << "' text-anchor='middle' font-size='14'>" << name << " (" << plies << " plies)</text>\n";
  for (int i = 0; i < plies; ++i) {
    const int angle = stack.angles[i];
    const double y = kStackTop + i * layer;
    svg << "<rect x='" << x << "' y='" << number(y) << "' width='80' height='" << number(layer)
        << "' fill='" << layerColour(angle) << "' stroke='white' stroke-width='0.5'/>\n";
    if (layer >= 9)
      svg << "<text x='" << x + 40 << "' y='" << number(y + layer * 0.5 + 4)
          << "' text-anchor='middle' font-size='" << (layer >= 14 ? 11 : 8) << "' fill='white'>"
          << (angle == 45 ? "+45" : std::to_string(angle)) << "</text>\n";
  }
  const double mid = kStackTop + kStackHeight * 0.5;
  svg << "<line x1='" << x - 6 << "' y1='" << number(mid) << "' x2='" << x + 86 << "' y2='"
      << number(mid) << "' stroke='black' stroke-dasharray='4 3'/>\n";
}

// A lamination-parameter diagram in the square at (x, y) of side `size`: xi1 across, xi2 up.
void drawDiagram(std::ostringstream& svg, int x, int y, int size, const char* title,
                 const double* skin, const double* stiffener) {
  auto px = [&](double xi1) { return x + (xi1 + 1.0) * 0.5 * size; };
  auto py = [&](double xi2) { return y + (1.0 - xi2) * 0.5 * size; };
  svg << "<rect x='" << x << "' y='" << y << "' width='" << size << "' height='" << size
      << "' fill='none' stroke='#999'/>\n";
  svg << "<path d='M " << number(px(-1)) << " " << number(py(1));
  for (int i = 0; i <= 40; ++i) {
    const double xi1 = -1.0 + i / 20.0;
    svg << " L " << number(px(xi1)) << " " << number(py(2 * xi1 * xi1 - 1));
  }
  svg << " Z' fill='#e8eef7' stroke='#4e79a7'/>\n";
  svg << "<text x='" << x + size / 2 << "' y='" << y - 8 << "' text-anchor='middle' "
      << "font-size='13'>" << title << "</text>\n";
  svg << "<text x='" << x + size / 2 << "' y='" << y + size + 16
      << "' text-anchor='middle' font-size='11'>cos 2θ</text>\n";
  svg << "<text x='" << x - 10 << "' y='" << y + size / 2 << "' text-anchor='middle' "
      << "font-size='11' transform='rotate(-90 " << x - 10 << " " << y + size / 2
      << ")'>cos 4θ</text>\n";
  const std::pair<const double*, const char*> points[2] = {{skin, kSkinColour},
                                                           {stiffener, kStiffenerColour}};
  for (const auto& [xi, colour] : points)
    svg << "<circle cx='" << number(px(xi[0])) << "' cy='" << number(py(xi[1]))
        << "' r='5' fill='" << colour << "' stroke='black'/>\n";
}

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

}  // namespace

std::string designSvg(const PanelDesign& design, const std::string& title) {
  std::ostringstream svg;
  svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << kWidth << "' height='" << kHeight
      << "' viewBox='0 0 " << kWidth << " " << kHeight << "' font-family='sans-serif'>\n"
      << "<rect width='100%' height='100%' fill='white'/>\n"
      << "<text x='10' y='20' font-size='15'>" << escaped(title) << "</text>\n";
  drawStack(svg, layupStack(design.skin), 30, "skin");
  drawStack(svg, layupStack(design.stiffener), 150, "stiffener");
  const double* skin = design.skin.parameters();
  const double* stiffener = design.stiffener.parameters();
  drawDiagram(svg, 300, 80, 200, "in-plane", skin, stiffener);
  drawDiagram(svg, 540, 80, 200, "bending", skin + 2, stiffener + 2);
  svg << "<circle cx='310' cy='330' r='5' fill='" << kSkinColour << "'/>"
      << "<text x='320' y='334' font-size='12'>skin</text>\n"
      << "<circle cx='380' cy='330' r='5' fill='" << kStiffenerColour << "'/>"
      << "<text x='390' y='334' font-size='12'>stiffener</text>\n";
  const int legend[4] = {0, 45, -45, 90};
  for (int i = 0; i < 4; ++i)
    svg << "<rect x='" << 310 + i * 70 << "' y='350' width='14' height='14' fill='"
        << layerColour(legend[i]) << "'/><text x='" << 328 + i * 70
        << "' y='362' font-size='12'>" << (legend[i] == 45 ? "+45" : std::to_string(legend[i]))
        << "°</text>\n";
  svg << "<text x='310' y='390' font-size='11'>dashed line: mid-plane</text>\n</svg>\n";
  return svg.str();
}

}  // namespace kelm
