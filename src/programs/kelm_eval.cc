// kelm_eval: checks one panel design by hand. Prints both laminates' printed form, ply counts,
// lamination parameters and rule verdicts, and the objective value of the pair as the
// simultaneous search computes it.
#include <iostream>
#include <string>

#include "search/panel_value.h"
#include "eval/design_check.h"
#include "cli/console_input.h"
#include "base/fatal.h"
#include "response/rs_file.h"

namespace {

constexpr const char* kUsage =
    "kelm_eval: usage: kelm_eval RSFILE SKIN_TOTAL STIFFENER_TOTAL SKIN STIFFENER [OPTIONS]";

int plyTotalOf(const std::string& text, const char* name) {
  const bool digits = !text.empty() && text.size() <= 6 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  const int total = digits ? std::stoi(text) : 0;
  if (total < 1 || total > kelm::kMaxPlyTotal)
    kelm::fatal(kelm::Stream::Err,
                std::string("kelm_eval: invalid ") + name + " ply total \"" + text + "\"", true);
  return total;
}

// The rule letters of the searches; ply numbers and the search method mean nothing here.
void applyRuleLetters(const std::string& letters, kelm::LaminateRules& skin,
                      kelm::LaminateRules& stiffener) {
  for (const char letter : letters) {
    switch (letter) {
      case '-': break;
      case 'b': skin.balance = stiffener.balance = true; break;
      case 'n': skin.balance = stiffener.balance = false; break;
      case 'f': skin.fourPlyRule = stiffener.fourPlyRule = true; break;
      default: kelm::fatal(kelm::Stream::Err, "unknown option!", true);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  return kelm::guardedMain([&] {
    if (argc != 6 && argc != 7) kelm::fatal(kelm::Stream::Err, kUsage, true);
    kelm::RunOptions options;
    options.rsFileName = argv[1];
    kelm::appendRsSuffix(options);
    const int skinTotal = plyTotalOf(argv[2], "skin");
    const int stiffenerTotal = plyTotalOf(argv[3], "stiffener");
    kelm::LaminateRules skinRules, stiffenerRules;
    skinRules.halfPlyCount = skinTotal - skinTotal / 2;
    stiffenerRules.halfPlyCount = stiffenerTotal - stiffenerTotal / 2;
    applyRuleLetters(argc == 7 ? argv[6] : "-b", skinRules, stiffenerRules);

    kelm::PanelDesign design;
    design.skin = kelm::parseHalfLaminate(argv[4], skinTotal, "skin");
    design.stiffener = kelm::parseHalfLaminate(argv[5], stiffenerTotal, "stiffener");
    kelm::ResponseSurface model;
    kelm::RsFile(options.rsFileName, model);
    kelm::FullObjective objective;
    objective.setFullObjective(model);

    kelm::writeLaminateReport("panel skin", design.skin, skinRules);
    kelm::writeLaminateReport("stiffener", design.stiffener, stiffenerRules);
    const std::streamsize precision = std::cout.precision(10);
    std::cout << "objective value = " << kelm::fullObjective(objective, design) << '\n';
    std::cout.precision(precision);
  });
}
