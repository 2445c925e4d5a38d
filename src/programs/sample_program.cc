#include "programs/sample_program.h"

#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "cli/atomic_file.h"
#include "cli/extension_options.h"
#include "cli/run_setup.h"
#include "cli/usage.h"
#include "eval/plan_picture.h"
#include "fitting/csv_table.h"
#include "fitting/quadratic_terms.h"
#include "fitting/sampling_plan.h"
#include "laminate/layup_stack.h"

namespace kelm {

namespace {

std::string halfCodes(const StackingSequence& seq) {
  std::string codes;
  for (int p = 1; p <= seq.plyCount(); ++p) codes += static_cast<char>('0' + seq.codeAt(p));
  return codes;
}

// The parameters a plan's file gives: all eight of a panel, the skin's four of a laminate alone.
const std::vector<int>& parameterColumns(bool single) {
  return (single ? QuadraticTerms::singleLaminate() : QuadraticTerms::panel()).variables();
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// The columns every file of designs to analyse starts its rows with: ply totals, printed
// laminates, the designed halves' codes, the stacks to lay up, the lamination parameters; the
// response left empty. A single laminate has the skin's columns and its four parameters alone
// (the absent stiffener's would be zero in every row).
std::vector<std::string> designHeader(bool single) {
  std::vector<std::string> header =
      single ? std::vector<std::string>{"skin_plies", "skin", "skin_codes", "skin_stack"}
             : std::vector<std::string>{"skin_plies", "stiffener_plies", "skin", "stiffener",
                                        "skin_codes", "stiffener_codes", "skin_stack", "stiffener_stack"};
  for (const int i : parameterColumns(single)) header.push_back(parameterName(i));
  header.push_back("response");
  return header;
}

std::vector<std::string> designRow(const PanelDesign& design, const LaminateRules& skin,
                                   const LaminateRules& stiffener, bool single) {
  std::vector<std::string> row =
      single ? std::vector<std::string>{std::to_string(skin.plyTotal), design.skin.bracketText(),
                                        halfCodes(design.skin), layupText(layupStack(design.skin))}
             : std::vector<std::string>{std::to_string(skin.plyTotal), std::to_string(stiffener.plyTotal),
                                        design.skin.bracketText(), design.stiffener.bracketText(),
                                        halfCodes(design.skin), halfCodes(design.stiffener),
                                        layupText(layupStack(design.skin)),
                                        layupText(layupStack(design.stiffener))};
  const SurfaceParameters x = fileParameters(design);
  for (const int i : parameterColumns(single)) row.push_back(number(x[i]));
  row.emplace_back();
  return row;
}

std::string planCsv(const SamplingPlan& plan, const LaminateRules& skin, const LaminateRules& stiffener,
                    bool single) {
  std::string text = csvLine(designHeader(single));
  for (const PanelDesign& design : plan.designs) text += csvLine(designRow(design, skin, stiffener, single));
  return text;
}

// What the plan is and how well it determines the quadratic, against a random plan of its size.
std::string planSummary(const SamplingPlan& plan, bool single) {
  char chosen[200];
  if (single)
    std::snprintf(chosen, sizeof chosen,
                  "plan: %zu laminates chosen from a pool of %d allowed laminates, for the %d "
                  "terms in %s\n",
                  plan.designs.size(), plan.poolSize, plan.terms,
                  QuadraticTerms::singleLaminate().variableNames().c_str());
  else
    std::snprintf(chosen, sizeof chosen, "plan: %zu designs chosen from a pool of %d allowed designs\n",
                  plan.designs.size(), plan.poolSize);
  char efficiency[200];
  std::snprintf(efficiency, sizeof efficiency,
                "D-efficiency against a random plan of the same size: %.3f "
                "(log det per sample: plan %.3f, random %.3f)\n",
                plan.efficiencyAgainstRandom, plan.logDetPlan, plan.logDetRandom);
  std::string summary = std::string(chosen) + efficiency;
  // A thin laminate has few stacking sequences: fewer than the terms cannot determine them,
  // however they are chosen, and the fit of their analyses would be refused.
  if (single && plan.poolSize < plan.terms)
    summary += "warning: the pool holds only " + std::to_string(plan.poolSize) +
               " distinct laminates: they cannot determine the " + std::to_string(plan.terms) +
               " terms\n";
  return summary;
}

int wholeNumber(const std::string& text) {
  const bool digits = !text.empty() && text.size() <= 6 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  return digits ? std::stoi(text) : 0;
}

// The totals and letters: SKIN_TOTAL STIFFENER_TOTAL COUNT [-bnf], or with --skin-only
// SKIN_TOTAL COUNT [-bnf] (the stiffener's total 0: none).
RunOptions planOptions(const std::vector<std::string>& args, const ExtensionOptions& extensions,
                       int& count) {
  const bool single = extensions.skinOnly;
  const std::size_t totals = single ? 1 : 2;
  if (args.size() < totals + 1 || args.size() > totals + 2)
    fatal(Stream::Err, single ? "kelm_sample: usage: kelm_sample --skin-only SKIN_TOTAL COUNT [-bnf] [options]"
                              : "kelm_sample: usage: kelm_sample SKIN_TOTAL STIFFENER_TOTAL COUNT [-bnf] [options]",
          true);
  RunOptions options;
  extensions.applyGuidelines(options);
  options.skinPlyTotal = wholeNumber(args[0]);
  options.stiffenerPlyTotal = single ? 0 : wholeNumber(args[1]);
  count = wholeNumber(args[totals]);
  if (args.size() == totals + 2) options.optionString = args[totals + 1];
  scanOptionString(options, "bnf-");
  return options;
}

}  // namespace

int runSampleProgram(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const ExtensionOptions extensions = takeExtensionOptions(args, Program::Sample);
  if (extensions.help || extensions.version) {
    std::cout << (extensions.help ? usageText(Program::Sample) : versionLine(Program::Sample));
    return 0;
  }
  PlanRequest request;
  const RunOptions options = planOptions(args, extensions, request.count);
  fillRules(options, request.skinRules, request.stiffenerRules);
  settlePlyNumbers(options, request.skinRules, request.stiffenerRules, std::cin);
  if (request.count < 1) fatal(Stream::Err, "error: COUNT takes a whole number of 1 or more", true);
  request.seed = extensions.seed.value_or(static_cast<std::uint32_t>(std::time(nullptr)));
  if (extensions.poolSize > 0) request.poolSize = extensions.poolSize;
  const SamplingPlan plan = dOptimalPlan(request);
  const bool single = options.skinOnly;
  const std::string csv = planCsv(plan, request.skinRules, request.stiffenerRules, single);
  std::ostream& report = extensions.outFile.empty() ? std::cerr : std::cout;
  if (extensions.outFile.empty()) std::cout << csv << std::flush;
  else if (!writeFileAtomically(extensions.outFile, csv))
    fatal(Stream::Err, "error: cannot write the plan to " + extensions.outFile, true, FailureKind::File);
  report << planSummary(plan, single);
  if (!extensions.svgFile.empty() &&
      !writeFileAtomically(extensions.svgFile, planSvg(plan.designs, "sampling plan: " +
                                                       std::to_string(plan.designs.size()) + " designs",
                                                       !single)))
    fatal(Stream::Err, "error: cannot write the picture to " + extensions.svgFile, true, FailureKind::File);
  return 0;
}

}  // namespace kelm
