#include "cli/fit_program.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "cli/atomic_file.h"
#include "cli/extension_options.h"
#include "cli/usage.h"
#include "eval/design_check.h"
#include "eval/plan_picture.h"
#include "fitting/csv_table.h"
#include "fitting/least_squares_fit.h"
#include "fitting/target_surface.h"

namespace kelm {

namespace {

void writeOrFail(const std::string& file, const std::string& text, const char* what) {
  if (!writeFileAtomically(file, text))
    fatal(Stream::Err, std::string("error: cannot write the ") + what + " to " + file, true,
          FailureKind::File);
}

// FILE with {} replaced by the response's name; one response may leave it out.
std::string fileFor(const std::string& pattern, const std::string& response) {
  const std::size_t at = pattern.find("{}");
  return at == std::string::npos ? pattern : pattern.substr(0, at) + response + pattern.substr(at + 2);
}

// The samples' parameters: columns x1..x8, or the two laminates as the searches print them
// with their ply totals (columns skin, stiffener, skin_plies, stiffener_plies).
std::vector<SurfaceParameters> samplePoints(const CsvTable& table) {
  std::vector<SurfaceParameters> points(table.rows.size());
  int columns[kSurfaceParameters];
  bool named = true;
  for (int i = 0; i < kSurfaceParameters; ++i) named = named && (columns[i] = table.column(parameterName(i))) >= 0;
  if (named) {
    for (std::size_t r = 0; r < table.rows.size(); ++r)
      for (int i = 0; i < kSurfaceParameters; ++i) points[r][i] = csvNumber(table, r, columns[i]);
    return points;
  }
  const int skin = table.column("skin"), stiffener = table.column("stiffener");
  const int skinPlies = table.column("skin_plies"), stiffenerPlies = table.column("stiffener_plies");
  if (std::min({skin, stiffener, skinPlies, stiffenerPlies}) < 0)
    fatal(Stream::Err, "error: the samples need columns x1..x8, or skin, stiffener, skin_plies "
                       "and stiffener_plies", true);
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    PanelDesign design;
    design.skin = parseHalfLaminate(table.rows[r][skin], static_cast<int>(csvNumber(table, r, skinPlies)), "skin");
    design.stiffener = parseHalfLaminate(table.rows[r][stiffener],
                                         static_cast<int>(csvNumber(table, r, stiffenerPlies)), "stiffener");
    points[r] = fileParameters(design);
  }
  return points;
}

std::vector<double> columnValues(const CsvTable& table, const std::string& name) {
  const int column = table.column(name);
  if (column < 0) fatal(Stream::Err, "error: the samples have no column " + name, true);
  std::vector<double> values;
  for (std::size_t r = 0; r < table.rows.size(); ++r) values.push_back(csvNumber(table, r, column));
  return values;
}

std::string header(const std::string& csv, const std::string& response, const ExtensionOptions& o,
                   const QuadraticFit& fit) {
  char text[400];
  std::snprintf(text, sizeof text,
                "response surface fitted by kelm_fit to %s, column %s%s\n"
                "%d samples; R^2 %.6f, adjusted R^2 %.6f; RMS residual %.6g; leave-one-out RMS %.6g\n"
                "variables x1..x8: skin in-plane, stiffener in-plane, skin bending, stiffener bending",
                csv.c_str(), response.c_str(), o.cap ? (" capped at " + std::to_string(*o.cap)).c_str() : "",
                fit.samples, fit.rSquared, fit.adjustedRSquared, fit.rmsResidual, fit.pressRms);
  return text;
}

void fitOne(const CsvTable& table, const std::vector<SurfaceParameters>& points, const std::string& csv,
            const std::string& response, const ExtensionOptions& o) {
  std::vector<double> y = columnValues(table, response);
  int capped = 0;
  if (o.cap)
    for (double& value : y)
      if (value > *o.cap) value = *o.cap, ++capped;
  const std::vector<double> weights =
      o.weightColumn.empty() ? std::vector<double>{} : columnValues(table, o.weightColumn);
  const QuadraticFit fit = fitQuadratic(points, y, weights);
  const std::string file = fileFor(o.outFile, response);
  writeOrFail(file, surfaceFileText(fit.coefficients, header(csv, response, o, fit)), "surface");
  std::cout << fitReport(fit, response);
  if (o.cap) std::cout << "  capped at " << *o.cap << ": " << capped << " samples above\n";
  std::cout << "  wrote " << file << '\n';
  if (!o.svgFile.empty())
    writeOrFail(fileFor(o.svgFile, response), fitSvg(y, fit.predicted, "fit of " + response), "picture");
}

int writeTarget(const ExtensionOptions& o) {
  SurfaceParameters target{}, weights{};
  std::copy(o.target.begin(), o.target.end(), target.begin());
  weights.fill(1.0);
  if (!o.targetWeights.empty()) std::copy(o.targetWeights.begin(), o.targetWeights.end(), weights.begin());
  for (const double w : weights)
    if (w < 0.0) fatal(Stream::Err, "error: --weights= takes numbers of 0 or more", true);
  std::string comment = "lamination-parameter target: C - sum w_i (x_i - t_i)^2, C = " +
                        std::to_string(targetOffset(target, weights)) +
                        " (a design's weighted squared distance is C minus its value)\nt =";
  for (const double t : target) comment += " " + std::to_string(t);
  comment += "\nw =";
  for (const double w : weights) comment += " " + std::to_string(w);
  writeOrFail(o.outFile, surfaceFileText(targetSurface(target, weights), comment), "surface");
  std::printf("wrote %s: C - sum w_i (x_i - t_i)^2 with C = %.17g\n", o.outFile.c_str(),
              targetOffset(target, weights));
  return 0;
}

}  // namespace

int runFitProgram(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const ExtensionOptions o = takeExtensionOptions(args, Program::Fit);
  if (o.help || o.version) {
    std::cout << (o.help ? usageText(Program::Fit) : versionLine(Program::Fit));
    return 0;
  }
  if (o.outFile.empty()) fatal(Stream::Err, "kelm_fit: --out=FILE.rs is missing", true);
  if (!o.target.empty()) {
    if (!args.empty()) fatal(Stream::Err, "kelm_fit: usage: kelm_fit --target=t1,...,t8 [--weights=w1,...,w8] --out=FILE.rs", true);
    return writeTarget(o);
  }
  if (args.size() != 1 || o.responses.empty())
    fatal(Stream::Err, "kelm_fit: usage: kelm_fit CSV --response=COLUMN --out=FILE.rs [options]", true);
  if (o.responses.size() > 1 && o.outFile.find("{}") == std::string::npos)
    fatal(Stream::Err, "kelm_fit: with several responses, --out= names the files with {} for the column", true);
  const CsvTable table = readCsv(args[0]);
  const std::vector<SurfaceParameters> points = samplePoints(table);
  for (const std::string& response : o.responses) fitOne(table, points, args[0], response, o);
  return 0;
}

}  // namespace kelm
