#include "eval/plan_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "base/fatal.h"
#include "eval/parameter_diagram.h"

namespace kelm {

namespace {

constexpr const char* kSkinColour = "#1f77b4";
constexpr const char* kStiffenerColour = "#d62728";
constexpr double kPlanRadius = 3.0;

void openSvg(std::ostringstream& svg, int width, int height, const std::string& title) {
  svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << width << "' height='" << height
      << "' viewBox='0 0 " << width << " " << height << "' font-family='sans-serif'>\n"
      << "<rect width='100%' height='100%' fill='white'/>\n";
  drawFittedTitle(svg, 10, 20, width - 20, 15, title);
}

// Every design's point in one diagram: `first` picks the in-plane (0) or the bending (2) pair.
std::vector<DiagramPoint> planPoints(const std::vector<PanelDesign>& designs, bool skin, int first,
                                     const char* colour) {
  std::vector<DiagramPoint> points;
  points.reserve(designs.size());
  for (const PanelDesign& design : designs) {
    const double* xi = (skin ? design.skin : design.stiffener).parameters() + first;
    points.push_back({xi[0], xi[1], colour, kPlanRadius});
  }
  return points;
}

// The axis range of a fit picture: from below the smallest to above the largest value, in
// round steps. All values equal (or too close to tell apart) still get a range around them.
struct Scale {
  double low, high, step;
};

Scale roundScale(double low, double high) {
  if (!(high - low > 1e-12 * std::max(std::fabs(low), std::fabs(high)))) {
    const double pad = std::max(std::fabs(low) * 0.05, 1.0);
    low -= pad;
    high += pad;
  }
  const double raw = (high - low) / 5.0;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / magnitude;
  const double round = fraction <= 1     ? 1
                       : fraction <= 2   ? 2
                       : fraction <= 2.5 ? 2.5
                       : fraction <= 5   ? 5
                                         : 10;
  const double step = round * magnitude;
  return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

std::string tickLabel(double value, double step) {
  if (std::fabs(value) < step * 1e-9) value = 0.0;  // no "-0" from rounding
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text[0] == '-' ? "\u2212" + std::string(text + 1) : std::string(text);
}

struct FitFrame {
  int x, y, size;
  Scale scale;
  double across(double value) const {
    return x + (value - scale.low) / (scale.high - scale.low) * size;
  }
  double up(double value) const {
    return y + size - (value - scale.low) / (scale.high - scale.low) * size;
  }
};

void drawFitAxes(std::ostringstream& svg, const FitFrame& f) {
  svg << "<rect x='" << f.x << "' y='" << f.y << "' width='" << f.size << "' height='" << f.size
      << "' fill='none' stroke='#999'/>\n";
  const int ticks = static_cast<int>(std::lround((f.scale.high - f.scale.low) / f.scale.step));
  for (int i = 0; i <= ticks; ++i) {
    const double value = f.scale.low + i * f.scale.step;
    const std::string label = tickLabel(value, f.scale.step);
    svg << "<text x='" << svgNumber(f.across(value)) << "' y='" << f.y + f.size + 14
        << "' text-anchor='middle' font-size='10'>" << label << "</text>"
        << "<text x='" << f.x - 6 << "' y='" << svgNumber(f.up(value))
        << "' dy='3.5' text-anchor='end' font-size='10'>" << label << "</text>\n";
  }
  svg << "<text x='" << f.x + f.size / 2 << "' y='" << f.y + f.size + 32
      << "' text-anchor='middle' font-size='12'>analysed</text>\n"
      << "<text x='" << f.x - 70 << "' y='" << f.y + f.size / 2
      << "' text-anchor='middle' font-size='12' transform='rotate(-90 " << f.x - 70 << " "
      << f.y + f.size / 2 << ")'>predicted</text>\n";
  svg << "<line x1='" << f.x << "' y1='" << f.y + f.size << "' x2='" << f.x + f.size << "' y2='"
      << f.y << "' stroke='#999' stroke-dasharray='5 4'/>\n";
}

struct Sample {
  double analysed, predicted;
};

std::vector<Sample> finiteSamples(const std::vector<double>& analysed,
                                  const std::vector<double>& predicted) {
  if (analysed.size() != predicted.size())
    fatal(Stream::Err, "error: a fit picture needs one predicted value per analysed value", true);
  std::vector<Sample> samples;
  for (std::size_t i = 0; i < analysed.size(); ++i)
    if (std::isfinite(analysed[i]) && std::isfinite(predicted[i]))
      samples.push_back({analysed[i], predicted[i]});
  return samples;
}

// How far the predictions stray: root mean square and largest error, or "no samples".
std::string errorCaption(const std::vector<Sample>& samples) {
  if (samples.empty()) return "no samples";
  double squares = 0.0, largest = 0.0;
  for (const Sample& s : samples) {
    const double error = s.predicted - s.analysed;
    squares += error * error;
    largest = std::max(largest, std::fabs(error));
  }
  char text[128];
  std::snprintf(text, sizeof text, "%zu samples, RMS error %.4g, largest error %.4g",
                samples.size(), std::sqrt(squares / samples.size()), largest);
  return text;
}

}  // namespace

std::string planSvg(const std::vector<PanelDesign>& designs, const std::string& title,
                    bool withStiffener) {
  constexpr int kSize = 220, kLeft = 60, kRight = 350, kTop = 72, kBottom = 364;
  // Without a stiffener the caption moves up into the stiffener's row.
  const int captionTop = withStiffener ? kBottom : kTop;
  std::ostringstream svg;
  openSvg(svg, kRight + kSize + 20, captionTop + kSize + 64, title);
  drawParameterDiagram(svg, kLeft, kTop, kSize, "skin in-plane",
                       planPoints(designs, true, 0, kSkinColour));
  drawParameterDiagram(svg, kRight, kTop, kSize, "skin bending",
                       planPoints(designs, true, 2, kSkinColour));
  if (withStiffener) {
    drawParameterDiagram(svg, kLeft, kBottom, kSize, "stiffener in-plane",
                         planPoints(designs, false, 0, kStiffenerColour));
    drawParameterDiagram(svg, kRight, kBottom, kSize, "stiffener bending",
                         planPoints(designs, false, 2, kStiffenerColour));
  }
  svg << "<text x='" << kLeft << "' y='" << captionTop + kSize + 52 << "' font-size='12'>"
      << designs.size() << (designs.size() == 1 ? " design" : " designs") << "</text>\n</svg>\n";
  return svg.str();
}

std::string fitSvg(const std::vector<double>& analysed, const std::vector<double>& predicted,
                   const std::string& title) {
  const std::vector<Sample> samples = finiteSamples(analysed, predicted);
  double low = samples.empty() ? 0.0 : samples[0].analysed, high = low;
  for (const Sample& s : samples) {
    low = std::min({low, s.analysed, s.predicted});
    high = std::max({high, s.analysed, s.predicted});
  }
  const FitFrame frame{90, 60, 400, roundScale(low, high)};
  std::ostringstream svg;
  openSvg(svg, 520, 540, title);
  drawFitAxes(svg, frame);
  for (const Sample& s : samples)
    svg << "<circle class='point' cx='" << svgNumber(frame.across(s.analysed)) << "' cy='"
        << svgNumber(frame.up(s.predicted)) << "' r='3' fill='#1f77b4' stroke='black' "
        << "stroke-width='0.6'/>\n";
  svg << "<text x='" << frame.x << "' y='" << frame.y + frame.size + 60 << "' font-size='12'>"
      << errorCaption(samples) << "</text>\n</svg>\n";
  return svg.str();
}

}  // namespace kelm
