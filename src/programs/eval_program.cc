#include "programs/eval_program.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "base/whole_file.h"
#include "cli/atomic_file.h"
#include "programs/structure_check.h"
#include "cli/command_line.h"
#include "cli/eval_command_line.h"
#include "cli/extension_options.h"
#include "cli/failure_modes.h"
#include "cli/guarded_main.h"
#include "cli/json_values.h"
#include "cli/single_laminate.h"
#include "cli/usage.h"
#include "eval/design_check.h"
#include "eval/design_picture.h"
#include "eval/designs_file.h"
#include "eval/surface_check.h"
#include "laminate/design_rules.h"
#include "laminate/laminate_text.h"
#include "response/rs_file.h"
#include "search/panel_value.h"

namespace kelm {

namespace {

std::vector<DesignText> designsOf(const std::string& file, bool singleLaminate) {
  if (file == "-") return readDesignTexts(std::cin, singleLaminate);
  std::string text;
  if (!readWholeFile(file, text)) fatal(Stream::Err, "kelm_eval: cannot open the designs file " + file, true);
  std::istringstream in(text);
  return readDesignTexts(in, singleLaminate);
}

// The designs to check, each with the line it came from (0: the command line).
std::vector<DesignText> designTexts(const ExtensionOptions& extensions,
                                    const std::vector<std::string>& args) {
  if (extensions.designsFile.empty() && extensions.skinOnly) return {{args[2], "", 0}};
  if (extensions.designsFile.empty()) return {{args[3], args[4], 0}};
  const std::vector<DesignText> designs = designsOf(extensions.designsFile, extensions.skinOnly);
  if (designs.empty())
    fatal(Stream::Err, "kelm_eval: no design in " + extensions.designsFile, true);
  return designs;
}

PanelDesign parsed(const DesignText& text, const EvalRequest& request) {
  const std::string at = text.line > 0 ? " (line " + std::to_string(text.line) + ")" : "";
  PanelDesign design;
  design.skin = parseHalfLaminate(text.skin, request.skinPlyTotal, ("skin" + at).c_str());
  if (request.stiffenerPlyTotal == 0) {  // a single laminate
    design.stiffener.setPlyTotal(0);
    return design;
  }
  design.stiffener =
      parseHalfLaminate(text.stiffener, request.stiffenerPlyTotal, ("stiffener" + at).c_str());
  return design;
}

// FILE for a single design; FILE-1.svg, FILE-2.svg ... (before the extension) for many.
std::string pictureName(const std::string& file, std::size_t index, std::size_t count) {
  if (count == 1) return file;
  const std::size_t dot = file.rfind('.');
  const bool extension = dot != std::string::npos && file.find('/', dot) == std::string::npos;
  std::string name = extension ? file.substr(0, dot) : file;
  name.append("-").append(std::to_string(index + 1));
  if (extension) name.append(file, dot, std::string::npos);
  return name;
}

// `governing`: the surface that governs each design, named in its title (empty: one surface).
bool writePictures(const std::string& file, const std::vector<PanelDesign>& designs,
                   const std::vector<DesignText>& texts, const std::vector<std::string>& governing) {
  for (std::size_t i = 0; i < designs.size(); ++i) {
    const std::string name = pictureName(file, i, designs.size());
    const std::string stiffener =
        designs[i].stiffener.plyCount() > 0 ? "  " + designs[i].stiffener.bracketText() : "";
    const std::string title = designs[i].skin.bracketText() + stiffener + "  value " +
                              std::to_string(designs[i].value) +
                              (texts[i].line > 0 ? "  (line " + std::to_string(texts[i].line) + ")"
                                                 : "") +
                              (governing[i].empty() ? "" : "  governed by " + governing[i]);
    if (!writeFileAtomically(name, designSvg(designs[i], title))) {
      std::cerr << "error: cannot write the picture to " << name << '\n';
      return false;
    }
  }
  return true;
}

json designJson(const PanelDesign& design, int line, const EvalRequest& request) {
  json entry = {{"line", line},
                {"value", design.value},
                {"skin", laminateJson(design.skin, request.skinPlyTotal)},
                {"skinMeetsRules", checkComplete(design.skin, request.skinRules)}};
  if (request.stiffenerPlyTotal == 0) return entry;
  entry["stiffener"] = laminateJson(design.stiffener, request.stiffenerPlyTotal);
  entry["stiffenerMeetsRules"] = checkComplete(design.stiffener, request.stiffenerRules);
  return entry;
}

json rulesJson(const EvalRequest& request) {
  json rules = {{"skin", rulesJson(request.skinRules)}};
  if (request.stiffenerPlyTotal > 0) rules["stiffener"] = rulesJson(request.stiffenerRules);
  return rules;
}

// Where a run that ends with an error message records it, as the searches do (--json=FILE).
struct ErrorRecord {
  std::string file;
  std::vector<std::string> arguments;
};
const ErrorRecord* errorRecord = nullptr;

void recordError(std::string_view message) {
  if (errorRecord == nullptr) return;
  const json document = {{"program", "kelm_eval"},
                         {"version", KELM_VERSION},
                         {"arguments", errorRecord->arguments},
                         {"outcome", {{"status", "error"}, {"exitStatus", 1}, {"message", message}}}};
  writeFileAtomically(errorRecord->file, document.dump(2) + "\n");
}

}  // namespace

int runEvalProgram(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto structure = std::find(args.begin(), args.end(), "--structure"); structure != args.end()) {
    args.erase(structure);
    return runStructureCheck(args);
  }
  const ExtensionOptions extensions = takeExtensionOptions(args, Program::Eval);
  if (extensions.help || extensions.version) {
    std::cout << (extensions.help ? usageText(Program::Eval) : versionLine(Program::Eval));
    return 0;
  }
  static ErrorRecord record;
  if (!extensions.jsonFile.empty()) {
    record = {extensions.jsonFile, args};
    errorRecord = &record;
    setFailureRecordHook(&recordError);
  }
  if (extensions.check) {
    if (args.size() != 1) fatal(Stream::Err, "kelm_eval: usage: kelm_eval --check RSFILE", true);
    RunOptions file;
    file.rsFileName = args[0];
    appendRsSuffix(file);
    return checkSurfaceFile(file.rsFileName, std::cout);
  }
  RunOptions guidelines;
  extensions.applyGuidelines(guidelines);
  const bool many = !extensions.designsFile.empty();
  const EvalRequest request = readEvalArguments(args, guidelines, many);
  std::vector<PanelDesign> designs;
  const std::vector<DesignText> texts = designTexts(extensions, args);
  for (const DesignText& text : texts) designs.push_back(parsed(text, request));
  ResponseSurface model;
  RsFile(request.rsFileName, model);
  if (extensions.skinOnly) refuseStiffenerTerms(model, request.rsFileName);
  FullObjective objective;
  objective.setFullObjective(model);
  const FailureModes modes = readFailureModes(extensions);

  json list = json::array();
  for (std::size_t i = 0; i < designs.size(); ++i) {
    PanelDesign& design = designs[i];
    design.value = fullObjective(objective, design);
    if (many) std::cout << "design " << i + 1 << " (line " << texts[i].line << ")\n";
    writeLaminateReport("panel skin", design.skin, request.skinRules);
    if (!extensions.skinOnly) writeLaminateReport("stiffener", design.stiffener, request.stiffenerRules);
    const std::streamsize precision = std::cout.precision(10);
    std::cout << "objective value = " << design.value << '\n';
    std::cout.precision(precision);
    if (!modes.empty()) writeSurfaceValues(std::cout, request.rsFileName, model, modes, {design});
    list.push_back(designJson(design, texts[i].line, request));
    if (!modes.empty()) list.back()["surfaces"] = surfaceValuesJson(request.rsFileName, model, modes, design);
  }
  std::vector<std::string> governing;
  for (const PanelDesign& design : designs)
    governing.push_back(modes.empty() ? "" : governingSurface(request.rsFileName, model, modes, design));
  if (!extensions.svgFile.empty() && !writePictures(extensions.svgFile, designs, texts, governing))
    return 1;
  if (extensions.jsonFile.empty()) return 0;
  const json document = {{"program", "kelm_eval"},
                         {"version", KELM_VERSION},
                         {"arguments", args},
                         {"outcome", {{"status", "checked"}, {"exitStatus", 0}}},
                         {"rules", rulesJson(request)},
                         {"designs", list}};
  if (writeFileAtomically(extensions.jsonFile, document.dump(2) + "\n")) return 0;
  std::cerr << "error: cannot write the JSON result to " << extensions.jsonFile << '\n';
  return 1;
}

}  // namespace kelm
