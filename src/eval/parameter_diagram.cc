#include "eval/parameter_diagram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace kelm {

namespace {

constexpr double kTwoLineTitleSize = 12.0;
constexpr double kLineSpacing = 1.2;  // baseline to baseline, in font sizes

// The tick values of both axes; the labels use a true minus sign.
constexpr double kTicks[] = {-1.0, -0.5, 0.0, 0.5, 1.0};
constexpr const char* kTickLabels[] = {"\u22121", "\u22120.5", "0", "0.5", "1"};

// Advance widths in font sizes, rounded up from a common sans-serif face; anything unusual
// counts as a wide character.
double characterWidth(unsigned char c) {
  if ((c & 0xC0) == 0x80) return 0.0;  // a continuation byte: counted with its first byte
  if (c >= 0x80) return 1.0;
  if (c >= '0' && c <= '9') return 0.64;
  if (c == ' ') return 0.32;
  if (std::string_view("/[]().,:;'|-_!ijlft").find(static_cast<char>(c)) != std::string_view::npos)
    return 0.42;
  if (c == 'm' || c == 'w' || c == 'M' || c == 'W' || c == '%' || c == '@') return 1.0;
  if (c >= 'A' && c <= 'Z') return 0.8;
  if (c >= 'a' && c <= 'z') return 0.64;
  return 0.84;  // + = < > and the like
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The title in two lines split at the space that leaves the wider line narrowest; one line if
// it has no space to split at.
std::vector<std::string> balancedLines(const std::string& title) {
  std::vector<std::string> best = {title};
  double bestWidth = textWidth(title, 1.0);
  for (std::size_t i = title.find(' '); i != std::string::npos; i = title.find(' ', i + 1)) {
    std::string first = trimmed(title.substr(0, i)), second = trimmed(title.substr(i + 1));
    if (first.empty() || second.empty()) continue;
    const double width = std::max(textWidth(first, 1.0), textWidth(second, 1.0));
    if (width < bestWidth) {
      bestWidth = width;
      best = {std::move(first), std::move(second)};
    }
  }
  return best;
}

void drawRegion(std::ostringstream& svg, int x, int y, int size) {
  auto px = [&](double xi1) { return x + (xi1 + 1.0) * 0.5 * size; };
  auto py = [&](double xi2) { return y + (1.0 - xi2) * 0.5 * size; };
  svg << "<rect x='" << x << "' y='" << y << "' width='" << size << "' height='" << size
      << "' fill='none' stroke='#999'/>\n";
  svg << "<path d='M " << svgNumber(px(-1)) << " " << svgNumber(py(1));
  for (int i = 0; i <= 40; ++i) {
    const double xi1 = -1.0 + i / 20.0;
    svg << " L " << svgNumber(px(xi1)) << " " << svgNumber(py(2 * xi1 * xi1 - 1));
  }
  svg << " Z' fill='#e8eef7' stroke='#4e79a7'/>\n";
}

// Tick marks and values on the lower and the left edge, and the axes' names.
void drawAxes(std::ostringstream& svg, int x, int y, int size) {
  const int bottom = y + size;
  for (int i = 0; i < 5; ++i) {
    const std::string across = svgNumber(x + (kTicks[i] + 1.0) * 0.5 * size);
    const std::string up = svgNumber(y + (1.0 - kTicks[i]) * 0.5 * size);
    svg << "<line x1='" << across << "' y1='" << bottom << "' x2='" << across << "' y2='"
        << bottom + 4 << "' stroke='#999'/><text x='" << across << "' y='" << bottom + 14
        << "' text-anchor='middle' font-size='10'>" << kTickLabels[i] << "</text>\n";
    svg << "<line x1='" << x - 4 << "' y1='" << up << "' x2='" << x << "' y2='" << up
        << "' stroke='#999'/><text x='" << x - 6 << "' y='" << up
        << "' dy='3.5' text-anchor='end' font-size='10'>" << kTickLabels[i] << "</text>\n";
  }
  svg << "<text x='" << x + size / 2 << "' y='" << bottom + 28
      << "' text-anchor='middle' font-size='12' font-style='italic'>ξ1</text>\n";
  svg << "<text x='" << x - 32 << "' y='" << y + size / 2
      << "' text-anchor='middle' font-size='12' font-style='italic' transform='rotate(-90 "
      << x - 32 << " " << y + size / 2 << ")'>ξ2</text>\n";
}

// A point whose parameters are not finite has no place in the diagram and is left out.
void drawPoints(std::ostringstream& svg, int x, int y, int size,
                const std::vector<DiagramPoint>& points) {
  for (const DiagramPoint& point : points) {
    if (!std::isfinite(point.xi1) || !std::isfinite(point.xi2)) continue;
    svg << "<circle class='point' cx='" << svgNumber(x + (point.xi1 + 1.0) * 0.5 * size)
        << "' cy='" << svgNumber(y + (1.0 - point.xi2) * 0.5 * size) << "' r='"
        << svgNumber(point.radius) << "' fill='" << point.colour << "' stroke='black' "
        << "stroke-width='" << svgNumber(point.radius * 0.2) << "'/>\n";
  }
}

}  // namespace

void drawParameterDiagram(std::ostringstream& svg, int x, int y, int size, const std::string& title,
                          const std::vector<DiagramPoint>& points) {
  drawRegion(svg, x, y, size);
  drawAxes(svg, x, y, size);
  svg << "<text x='" << x + size / 2 << "' y='" << y - 8 << "' text-anchor='middle' "
      << "font-size='13'>" << svgEscaped(title) << "</text>\n";
  drawPoints(svg, x, y, size, points);
}

std::string svgNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::isfinite(value) ? value : 0.0);
  return text;
}

std::string svgEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '\'') out += "&apos;";
    else out += c;
  }
  return out;
}

double textWidth(const std::string& text, double fontSize) {
  double width = 0.0;
  for (const char c : text) width += characterWidth(static_cast<unsigned char>(c));
  return width * fontSize;
}

void drawFittedTitle(std::ostringstream& svg, double x, double y, double maxWidth,
                     double fontSize, const std::string& title) {
  std::vector<std::string> lines = {title};
  double size = fontSize;
  if (textWidth(title, fontSize) > maxWidth) {
    lines = balancedLines(title);
    if (lines.size() > 1) size = std::min(fontSize, kTwoLineTitleSize);
    double widest = 0.0;
    for (const std::string& line : lines) widest = std::max(widest, textWidth(line, size));
    // Rounded down, so that the size written never makes a line wider than the room.
    if (widest > maxWidth) size = std::floor(size * maxWidth / widest * 100.0) / 100.0;
  }
  // A smaller title starts as high as a full-size one would, so that its lines keep clear of
  // what lies below.
  const double first = y - (fontSize - size) * 0.8;
  for (std::size_t i = 0; i < lines.size(); ++i)
    svg << "<text class='title' x='" << svgNumber(x) << "' y='"
        << svgNumber(first + i * size * kLineSpacing) << "' font-size='" << svgNumber(size) << "'>"
        << svgEscaped(lines[i]) << "</text>\n";
}

}  // namespace kelm
