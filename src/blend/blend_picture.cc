#include "blend/blend_picture.h"

#include <algorithm>
#include <sstream>

#include "laminate/ply_colour.h"

namespace kelm {

namespace {

constexpr int kColumn = 56;
constexpr int kRow = 12;
constexpr int kTop = 40;
constexpr int kLeft = 40;
constexpr int kStiffenerGap = 24;

// The colours of kelm_eval's stacks: a +-45 position as its +45 ply.
const char* colourOf(int code) { return layerColour(code == kCode0 ? 0 : code == kCode90 ? 90 : 45); }

}  // namespace

std::string blendPicture(const BlendedStructure& structure, const BlendedDesign& design) {
  const std::vector<int> classes = countClasses(design.plies);
  const int columns = static_cast<int>(structure.panels.size());
  // A table's rows are its guide positions; edge-wise, each panel's own positions from the top.
  const bool table = !design.guide.empty();
  int rows = static_cast<int>(design.guide.size());
  if (!table)
    for (const StackingSequence& laminate : design.laminates) rows = std::max(rows, laminate.plyCount());
  // Stiffened panels' stiffeners below the skins, each from its outer ply down.
  int stiffenerRows = 0;
  for (const StackingSequence& stiffener : design.stiffeners) stiffenerRows = std::max(stiffenerRows, stiffener.plyCount());
  const int stiffenerTop = kTop + rows * kRow + (stiffenerRows > 0 ? kStiffenerGap : 0);
  const int width = kLeft + columns * kColumn + 20;
  const int height = stiffenerTop + stiffenerRows * kRow + 40;
  std::ostringstream svg;
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" font-family=\"sans-serif\" font-size=\"10\">\n";
  svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  for (int p = 0; p < columns; ++p) {
    const int x = kLeft + p * kColumn;
    const int level = classOf(classes, design.plies[p]);
    svg << "<text x=\"" << x + kColumn / 2 << "\" y=\"14\" text-anchor=\"middle\">" << structure.panels[p].name
        << "</text>\n";
    svg << "<text x=\"" << x + kColumn / 2 << "\" y=\"28\" text-anchor=\"middle\">" << design.plies[p]
        << "</text>\n";
    for (int i = 0; i < rows; ++i) {
      if (table ? design.guide[i].level > level : i >= design.laminates[p].plyCount()) continue;
      const int code = table ? design.guide[i].code : design.laminates[p].codeAt(i + 1);
      svg << "<rect x=\"" << x + 2 << "\" y=\"" << kTop + i * kRow << "\" width=\"" << kColumn - 4 << "\" height=\""
          << kRow - 1 << "\" fill=\"" << colourOf(code) << "\"/>\n";
    }
  }
  if (stiffenerRows > 0)
    svg << "<text x=\"" << kLeft << "\" y=\"" << stiffenerTop - 6 << "\">stiffeners</text>\n";
  for (int p = 0; p < columns && stiffenerRows > 0; ++p)
    for (int i = 0; i < design.stiffeners[p].plyCount(); ++i)
      svg << "<rect x=\"" << kLeft + p * kColumn + 2 << "\" y=\"" << stiffenerTop + i * kRow << "\" width=\""
          << kColumn - 4 << "\" height=\"" << kRow - 1 << "\" fill=\"" << colourOf(design.stiffeners[p].codeAt(i + 1))
          << "\"/>\n";
  for (int i = 0; i < rows; ++i)
    svg << "<text x=\"" << kLeft - 6 << "\" y=\"" << kTop + i * kRow + kRow - 3 << "\" text-anchor=\"end\">"
        << i + 1 << "</text>\n";
  const int legend = stiffenerTop + stiffenerRows * kRow + 24;
  const char* names[3] = {"0", "45", "90"};
  for (int code = 0; code < 3; ++code) {
    svg << "<rect x=\"" << kLeft + code * 60 << "\" y=\"" << legend - 9 << "\" width=\"10\" height=\"10\" fill=\""
        << colourOf(code) << "\"/>\n";
    svg << "<text x=\"" << kLeft + code * 60 + 14 << "\" y=\"" << legend << "\">" << names[code] << " deg</text>\n";
  }
  svg << "</svg>\n";
  return svg.str();
}

}  // namespace kelm
