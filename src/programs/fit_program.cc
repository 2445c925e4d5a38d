#include "programs/fit_program.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "cli/atomic_file.h"
#include "cli/extension_options.h"
#include "cli/usage.h"
#include "eval/plan_picture.h"
#include "fitting/csv_table.h"
#include "fitting/least_squares_fit.h"
#include "fitting/target_surface.h"
#include "laminate/laminate_text.h"

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
std::vector<SurfaceParameters> panelPoints(const CsvTable& table) {
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

// A single laminate's samples vary no stiffener: a panel's table whose stiffener parameters are
// not all zero would lose their effect without a word, so it is refused.
void refuseStiffenerVariation(const CsvTable& table) {
  for (const int i : {2, 3, 6, 7}) {
    const int column = table.column(parameterName(i));
    for (std::size_t r = 0; column >= 0 && r < table.rows.size(); ++r)
      if (csvNumber(table, r, column) != 0.0)
        fatal(Stream::Err, "error: --skin-only: row " + std::to_string(r + 1) + " has " +
                               parameterName(i) + " = " + table.rows[r][column] +
                               ": the samples vary the stiffener (fit them without --skin-only)",
              true);
  }
}

// A single laminate's samples: columns x1, x2, x5 and x6, or the laminate as the searches print
// it with its ply total (columns skin and skin_plies); the stiffener's parameters are zero.
std::vector<SurfaceParameters> singleLaminatePoints(const CsvTable& table) {
  refuseStiffenerVariation(table);
  const std::vector<int>& variables = QuadraticTerms::singleLaminate().variables();
  std::vector<SurfaceParameters> points(table.rows.size(), SurfaceParameters{});
  bool named = true;
  for (const int i : variables) named = named && table.column(parameterName(i)) >= 0;
  if (named) {
    for (std::size_t r = 0; r < table.rows.size(); ++r)
      for (const int i : variables) points[r][i] = csvNumber(table, r, table.column(parameterName(i)));
    return points;
  }
  const int skin = table.column("skin"), skinPlies = table.column("skin_plies");
  if (std::min(skin, skinPlies) < 0)
    fatal(Stream::Err, "error: --skin-only: the samples need columns x1, x2, x5 and x6, or skin "
                       "and skin_plies", true);
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    PanelDesign design;
    design.skin = parseHalfLaminate(table.rows[r][skin], static_cast<int>(csvNumber(table, r, skinPlies)), "skin");
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
  const char* variables =
      fit.terms->isPanel()
          ? "variables x1..x8: skin in-plane, stiffener in-plane, skin bending, stiffener bending"
          : "a single laminate: variables x1, x2 in-plane and x5, x6 bending (no stiffener)";
  char text[400];
  std::snprintf(text, sizeof text,
                "response surface fitted by kelm_fit to %s, column %s%s\n"
                "%d samples; R^2 %.6f, adjusted R^2 %.6f; RMS residual %.6g; leave-one-out RMS %.6g\n"
                "%s",
                csv.c_str(), response.c_str(), o.cap ? (" capped at " + std::to_string(*o.cap)).c_str() : "",
                fit.samples, fit.rSquared, fit.adjustedRSquared, fit.rmsResidual, fit.pressRms, variables);
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
  const QuadraticTerms& terms = o.skinOnly ? QuadraticTerms::singleLaminate() : QuadraticTerms::panel();
  const QuadraticFit fit = fitQuadratic(points, y, weights, terms);
  const std::string file = fileFor(o.outFile, response);
  writeOrFail(file, fittedSurfaceText(fit, header(csv, response, o, fit)), "surface");
  std::cout << fitReport(fit, response);
  if (o.cap) std::cout << "  capped at " << *o.cap << ": " << capped << " samples above\n";
  std::cout << "  wrote " << file << '\n';
  if (!o.svgFile.empty())
    writeOrFail(fileFor(o.svgFile, response), fitSvg(y, fit.predicted, "fit of " + response), "picture");
}

// The numbers of --target= or --weights= at their parameters' places: eight of a panel, or a
// single laminate's four at x1, x2, x5 and x6.
SurfaceParameters spread(const std::vector<double>& given, const QuadraticTerms& terms, double absent) {
  SurfaceParameters values;
  values.fill(absent);
  for (std::size_t k = 0; k < given.size(); ++k) values[terms.variables()[k]] = given[k];
  return values;
}

std::string listed(const SurfaceParameters& values, const QuadraticTerms& terms) {
  std::string text;
  for (const int i : terms.variables()) text += " " + std::to_string(values[i]);
  return text;
}

int writeTarget(const ExtensionOptions& o) {
  const QuadraticTerms& terms = o.skinOnly ? QuadraticTerms::singleLaminate() : QuadraticTerms::panel();
  const SurfaceParameters target = spread(o.target, terms, 0.0);
  const SurfaceParameters weights =
      spread(o.targetWeights.empty() ? std::vector<double>(terms.variables().size(), 1.0) : o.targetWeights,
             terms, 0.0);
  for (const double w : weights)
    if (w < 0.0) fatal(Stream::Err, "error: --weights= takes numbers of 0 or more", true);
  const double offset = targetOffset(target, weights, terms);
  std::string comment = "lamination-parameter target: C - sum w_i (x_i - t_i)^2, C = " +
                        std::to_string(offset) +
                        " (a design's weighted squared distance is C minus its value)\n";
  if (!terms.isPanel()) comment += "a single laminate: x1, x2, x5, x6\n";
  comment += "t =" + listed(target, terms) + "\nw =" + listed(weights, terms);
  writeOrFail(o.outFile, surfaceFileText(terms, targetSurface(target, weights, terms), comment), "surface");
  std::printf("wrote %s: C - sum w_i (x_i - t_i)^2 with C = %.17g\n", o.outFile.c_str(), offset);
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
    if (!args.empty())
      fatal(Stream::Err, o.skinOnly ? "kelm_fit: usage: kelm_fit --skin-only --target=t1,t2,t5,t6 [--weights=w1,w2,w5,w6] --out=FILE.rs"
                                    : "kelm_fit: usage: kelm_fit --target=t1,...,t8 [--weights=w1,...,w8] --out=FILE.rs",
            true);
    return writeTarget(o);
  }
  if (args.size() != 1 || o.responses.empty())
    fatal(Stream::Err, "kelm_fit: usage: kelm_fit CSV --response=COLUMN --out=FILE.rs [options]", true);
  if (o.responses.size() > 1 && o.outFile.find("{}") == std::string::npos)
    fatal(Stream::Err, "kelm_fit: with several responses, --out= names the files with {} for the column", true);
  const CsvTable table = readCsv(args[0]);
  const std::vector<SurfaceParameters> points = o.skinOnly ? singleLaminatePoints(table) : panelPoints(table);
  for (const std::string& response : o.responses) fitOne(table, points, args[0], response, o);
  return 0;
}

}  // namespace kelm
