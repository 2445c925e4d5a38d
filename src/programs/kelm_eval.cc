// kelm_eval: checks one panel design by hand. Prints both laminates' printed form, ply counts,
// lamination parameters and rule verdicts, and the objective value of the pair as the
// simultaneous search computes it.
#include <iostream>
#include <string>
#include <vector>

#include "cli/eval_command_line.h"
#include "cli/extension_options.h"
#include "cli/guarded_main.h"
#include "cli/usage.h"
#include "eval/design_check.h"
#include "response/rs_file.h"
#include "search/panel_value.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] {
    std::vector<std::string> args(argv + 1, argv + argc);
    const kelm::ExtensionOptions extensions = kelm::takeExtensionOptions(args, kelm::Program::Eval);
    if (extensions.help || extensions.version) {
      const kelm::Program eval = kelm::Program::Eval;
      std::cout << (extensions.help ? kelm::usageText(eval) : kelm::versionLine(eval));
      return 0;
    }
    kelm::RunOptions guidelines;
    extensions.applyGuidelines(guidelines);
    const kelm::EvalRequest request = kelm::readEvalArguments(args, guidelines);
    kelm::PanelDesign design;
    design.skin = kelm::parseHalfLaminate(request.skinText, request.skinPlyTotal, "skin");
    design.stiffener =
        kelm::parseHalfLaminate(request.stiffenerText, request.stiffenerPlyTotal, "stiffener");
    kelm::ResponseSurface model;
    kelm::RsFile(request.rsFileName, model);
    kelm::FullObjective objective;
    objective.setFullObjective(model);

    kelm::writeLaminateReport("panel skin", design.skin, request.skinRules);
    kelm::writeLaminateReport("stiffener", design.stiffener, request.stiffenerRules);
    const std::streamsize precision = std::cout.precision(10);
    std::cout << "objective value = " << kelm::fullObjective(objective, design) << '\n';
    std::cout.precision(precision);
    return 0;
  });
}
