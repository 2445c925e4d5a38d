#include "eval/design_picture.h"

#include <sstream>
#include <string>
#include <vector>

#include "eval/parameter_diagram.h"
#include "laminate/layup_stack.h"

namespace kelm {

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 420;
constexpr int kStackTop = 60;
constexpr int kStackHeight = 320;
constexpr int kDiagramTop = 80;
constexpr int kDiagramSize = 200;
constexpr const char* kSkinColour = "#1f77b4";
constexpr const char* kStiffenerColour = "#d62728";


// The whole stack of one laminate, outer surface on top, in a column at `x`.
void drawStack(std::ostringstream& svg, const LayupStack& stack, int x, const char* name) {
  const int plies = static_cast<int>(stack.angles.size());
  const double layer = static_cast<double>(kStackHeight) / plies;
  svg << "<text x='" << x + 40 << "' y='" << kStackTop - 12
      << "' text-anchor='middle' font-size='14'>" << name << " (" << plies << " plies)</text>\n";
  for (int i = 0; i < plies; ++i) {
    const int angle = stack.angles[i];
    const double y = kStackTop + i * layer;
    svg << "<rect x='" << x << "' y='" << svgNumber(y) << "' width='80' height='"
        << svgNumber(layer) << "' fill='" << layerColour(angle)
        << "' stroke='white' stroke-width='0.5'/>\n";
    if (layer >= 9)
      svg << "<text x='" << x + 40 << "' y='" << svgNumber(y + layer * 0.5 + 4)
          << "' text-anchor='middle' font-size='" << (layer >= 14 ? 11 : 8) << "' fill='white'>"
          << (angle == 45 ? "+45" : std::to_string(angle)) << "</text>\n";
  }
  const double mid = kStackTop + kStackHeight * 0.5;
  svg << "<line x1='" << x - 6 << "' y1='" << svgNumber(mid) << "' x2='" << x + 86 << "' y2='"
      << svgNumber(mid) << "' stroke='black' stroke-dasharray='4 3'/>\n";
}

// The skin's and the stiffener's points in one diagram; `first` picks the in-plane (0) or the
// bending (2) pair of parameters.
std::vector<DiagramPoint> laminatePoints(const PanelDesign& design, int first) {
  const double* skin = design.skin.parameters() + first;
  const double* stiffener = design.stiffener.parameters() + first;
  if (design.stiffener.plyCount() == 0) return {{skin[0], skin[1], kSkinColour, 5.0}};
  return {{skin[0], skin[1], kSkinColour, 5.0},
          {stiffener[0], stiffener[1], kStiffenerColour, 5.0}};
}

void drawLegend(std::ostringstream& svg, bool stiffener) {
  svg << "<circle cx='310' cy='330' r='5' fill='" << kSkinColour << "'/>"
      << "<text x='320' y='334' font-size='12'>skin</text>\n";
  if (stiffener)
    svg << "<circle cx='380' cy='330' r='5' fill='" << kStiffenerColour << "'/>"
        << "<text x='390' y='334' font-size='12'>stiffener</text>\n";
  const int legend[4] = {0, 45, -45, 90};
  for (int i = 0; i < 4; ++i)
    svg << "<rect x='" << 310 + i * 70 << "' y='350' width='14' height='14' fill='"
        << layerColour(legend[i]) << "'/><text x='" << 328 + i * 70
        << "' y='362' font-size='12'>" << (legend[i] == 45 ? "+45" : std::to_string(legend[i]))
        << "°</text>\n";
  svg << "<text x='310' y='390' font-size='11'>dashed line: mid-plane</text>\n";
}

}  // namespace

std::string designSvg(const PanelDesign& design, const std::string& title) {
  std::ostringstream svg;
  svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << kWidth << "' height='" << kHeight
      << "' viewBox='0 0 " << kWidth << " " << kHeight << "' font-family='sans-serif'>\n"
      << "<rect width='100%' height='100%' fill='white'/>\n";
  drawFittedTitle(svg, 10, 20, kWidth - 20, 15, title);
  drawStack(svg, layupStack(design.skin), 30, "skin");
  const bool stiffener = design.stiffener.plyCount() > 0;  // none for a single laminate
  if (stiffener) drawStack(svg, layupStack(design.stiffener), 150, "stiffener");
  // The diagrams leave room on their left for the xi2 values, clear of the stiffener's stack
  // and of each other.
  drawParameterDiagram(svg, 290, kDiagramTop, kDiagramSize, "in-plane", laminatePoints(design, 0));
  drawParameterDiagram(svg, 545, kDiagramTop, kDiagramSize, "bending", laminatePoints(design, 2));
  drawLegend(svg, stiffener);
  svg << "</svg>\n";
  return svg.str();
}

}  // namespace kelm
