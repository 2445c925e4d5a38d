#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace kelm {

// One laminate's place in a lamination-parameter diagram: xi1 (the cos 2 theta parameter)
// across, xi2 (the cos 4 theta parameter) up, as a filled circle of `radius` pixels.
struct DiagramPoint {
  double xi1, xi2;
  const char* colour;
  double radius;
};

// One lamination-parameter diagram in the square at (x, y) of side `size`: the feasible region
// between xi2 = 2 xi1^2 - 1 and xi2 = 1, both axes with their values (-1 to 1) and names, the
// title above, and the points (each an SVG circle of class 'point'). It needs about 36 pixels
// free on the left and 32 below for the values and names.
void drawParameterDiagram(std::ostringstream& svg, int x, int y, int size, const std::string& title,
                          const std::vector<DiagramPoint>& points);

// Pieces every picture shares.

// A coordinate or value with two decimals; a value that is not finite is drawn at 0, so the
// document stays valid.
std::string svgNumber(double value);

// Text with the characters XML reserves replaced.
std::string svgEscaped(const std::string& text);

// A generous estimate of the width a line of text takes at `fontSize` pixels in a common
// sans-serif face (wider than the real one for every character a title uses).
double textWidth(const std::string& text, double fontSize);

// A picture's title from its left edge at `x`, never wider than `maxWidth`: one line at
// `fontSize` with its baseline at `y` when it fits, otherwise two lines split at the space that
// balances them, at most 12 pixels high and smaller still if a line needs it, starting no lower
// than the one line would. Each line is an SVG text of class 'title'.
void drawFittedTitle(std::ostringstream& svg, double x, double y, double maxWidth,
                     double fontSize, const std::string& title);

}  // namespace kelm
