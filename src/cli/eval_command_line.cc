#include "cli/eval_command_line.h"

#include "base/fatal.h"
#include "cli/command_line.h"
#include "cli/run_setup.h"

namespace kelm {

namespace {

constexpr const char* kUsage =
    "kelm_eval: usage: kelm_eval RSFILE SKIN_TOTAL STIFFENER_TOTAL SKIN STIFFENER [OPTIONS]";
constexpr const char* kSingleUsage =
    "kelm_eval: usage: kelm_eval --skin-only RSFILE SKIN_TOTAL SKIN [OPTIONS]";
constexpr const char* kSingleDesignsUsage =
    "kelm_eval: usage: kelm_eval --skin-only --designs=FILE RSFILE SKIN_TOTAL [OPTIONS]";
constexpr const char* kDesignsUsage =
    "kelm_eval: usage: kelm_eval --designs=FILE RSFILE SKIN_TOTAL STIFFENER_TOTAL [OPTIONS]";

// Stricter than the searches' totals: only digits, so that a typing slip is named, not read
// as another number.
int plyTotalOf(const std::string& text, const char* name) {
  const bool digits = !text.empty() && text.size() <= 6 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  const int total = digits ? std::stoi(text) : 0;
  if (total < 1 || total > kMaxPlyTotal)
    fatal(Stream::Err, std::string("kelm_eval: invalid ") + name + " ply total \"" + text + "\"",
          true);
  return total;
}

// RSFILE SKIN_TOTAL SKIN [OPTIONS] (without SKIN when the designs come from a file): the panel
// form with a stiffener of no plies and no rule.
EvalRequest readSingleLaminateArguments(const std::vector<std::string>& args,
                                        const RunOptions& guidelines, bool designsFromFile) {
  const std::size_t least = designsFromFile ? 2 : 3;
  if (args.size() != least && args.size() != least + 1)
    fatal(Stream::Err, designsFromFile ? kSingleDesignsUsage : kSingleUsage, true);
  RunOptions options;
  options.rsFileName = args[0];
  appendRsSuffix(options);
  options.skinPlyTotal = plyTotalOf(args[1], "skin");
  if (args.size() == least + 1) options.optionString = args[least];
  if (options.optionString.rfind('[', 0) == 0)  // a stiffener given to a single laminate
    fatal(Stream::Err,
          "error: --skin-only checks one laminate (FILE SKIN '[...]s' [LETTERS]); for a skin and a "
          "stiffener leave --skin-only out",
          true);
  scanOptionString(options, "-bnf");
  options.copyGuidelinesFrom(guidelines);
  EvalRequest request;
  request.rsFileName = options.rsFileName;
  request.skinPlyTotal = options.skinPlyTotal;
  if (!designsFromFile) request.skinText = args[2];
  fillRules(options, request.skinRules, request.stiffenerRules);
  return request;
}

}  // namespace

EvalRequest readEvalArguments(const std::vector<std::string>& args, const RunOptions& guidelines,
                              bool designsFromFile) {
  if (guidelines.skinOnly) return readSingleLaminateArguments(args, guidelines, designsFromFile);
  if (designsFromFile) {
    if (args.size() != 3 && args.size() != 4) fatal(Stream::Err, kDesignsUsage, true);
    std::vector<std::string> withDesigns(args.begin(), args.begin() + 3);
    withDesigns.insert(withDesigns.end(), {"", ""});
    if (args.size() == 4) withDesigns.push_back(args[3]);
    return readEvalArguments(withDesigns, guidelines, false);
  }
  if (args.size() != 5 && args.size() != 6) fatal(Stream::Err, kUsage, true);
  RunOptions options;
  options.rsFileName = args[0];
  appendRsSuffix(options);
  options.skinPlyTotal = plyTotalOf(args[1], "skin");
  options.stiffenerPlyTotal = plyTotalOf(args[2], "stiffener");
  if (args.size() == 6) options.optionString = args[5];
  scanOptionString(options, "-bnf");
  options.copyGuidelinesFrom(guidelines);

  EvalRequest request;
  request.rsFileName = options.rsFileName;
  request.skinPlyTotal = options.skinPlyTotal;
  request.stiffenerPlyTotal = options.stiffenerPlyTotal;
  request.skinText = args[3];
  request.stiffenerText = args[4];
  fillRules(options, request.skinRules, request.stiffenerRules);
  return request;
}

}  // namespace kelm
