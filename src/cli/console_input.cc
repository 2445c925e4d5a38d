#include "cli/console_input.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <locale>

#include "laminate/design_rules.h"
#include "response/rs_file.h"
#include "base/fatal.h"

namespace kelm {

namespace {

[[noreturn]] void invalidInput() { fatal(Stream::Err, "error: invalid input", true); }

int readInt(std::istream& in) {
  int value = 0;
  if (!(in >> value)) invalidInput();
  return value;
}

// One word, delimited by white space as stream extraction delimits it, but no longer than the
// longest path the system opens: an answer that never ends must not fill the memory.
constexpr std::size_t kMaxAnswerLength = 4095;

std::string readWord(std::istream& in) {
  std::string word;
  in >> std::ws;
  for (int c = in.peek(); c != std::char_traits<char>::eof(); c = in.peek()) {
    if (std::isspace(static_cast<char>(c), in.getloc())) break;
    if (word.size() == kMaxAnswerLength) invalidInput();
    word.push_back(static_cast<char>(in.get()));
  }
  if (word.empty()) invalidInput();
  return word;
}

int prompted(std::istream& in, std::ostream& out, const char* question) {
  out << question << '\n' << " : ";
  return readInt(in);
}

std::string promptedWord(std::istream& in, std::ostream& out, const char* question) {
  out << question << '\n' << " : ";
  return readWord(in);
}

void promptForInputs(RunOptions& options, std::istream& in, std::ostream& out) {
  options.skinPlyTotal = prompted(in, out, "total ply number of panel skin");
  options.stiffenerPlyTotal = prompted(in, out, "total ply number of stiffener");
  options.rsFileName = promptedWord(in, out, "name of response surface file");
  options.optionString = promptedWord(in, out,
                                      "option symbols followed hyphen (\"s\" to skip)\n"
                                      "  r : round robin search\n"
                                      "  b : balance rule (default)\n"
                                      "  n : non-balanced laminate\n"
                                      "  f : 4-ply rule\n"
                                      "  p : set ply number of each orientaion");
  if (options.optionString == "s") options.optionString = "-b";
}

int halfOf(int total) { return total % 2 != 0 ? total / 2 + 1 : total / 2; }

// The 90 deg positions that the given numbers leave are counted in a wider type, so that
// extreme numbers cannot overflow, and kept within the int range, where comparing them with any
// count of plies comes out as with the exact value.
int pliesLeft(long long half, long long ply0, long long ply45) {
  return static_cast<int>(std::clamp<long long>(half - ply0 - ply45, INT_MIN, INT_MAX));
}

void fixPlyNumbers(LaminateRules& rules, int ply0, int ply45) {
  rules.ply0 = ply0;
  rules.ply45 = ply45;
  rules.ply90 = pliesLeft(rules.halfPlyCount, ply0, ply45);
  rules.plyMin = std::min({rules.ply0, rules.ply45, rules.ply90});
  rules.plyNumbersFixed = true;
  rules.balance = false;
}

// Asks until the answer is one of the offered numbers, 0 to `most`: a count of positions is
// never negative, and a negative one would leave more positions than the half laminate has.
int askWithin(std::istream& in, std::ostream& err, const std::string& prompt, int most) {
  int value;
  do {
    err << prompt;
    value = readInt(in);
  } while (value < 0 || value > most);
  return value;
}

// The degree and plus-minus signs are written as their Shift-JIS bytes.
void dialogBlock(LaminateRules& rules, const char* header, std::istream& in, std::ostream& err) {
  err << header << '\n' << "ply number of each fiber orientation angle" << '\n';
  const int h = rules.halfPlyCount;
  const int ply0 = askWithin(in, err, "    0\x81\x8B(0-" + std::to_string(h) + ") : ", h);
  const int rest = h - ply0;
  int ply45 = 0;
  if (rest != 0)
    ply45 = askWithin(in, err, " \x81\x7D" "45\x81\x8B(0-" + std::to_string(rest) + ") : ", rest);
  fixPlyNumbers(rules, ply0, ply45);
}

}  // namespace

int toInt(const std::string& text) {
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

RunOptions gatherInputs(const std::vector<std::string>& args, Program program, std::istream& in,
                        std::ostream& out) {
  RunOptions options;
  const std::size_t count = args.size();
  if (count == 3) {
    options.skinPlyTotal = toInt(args[0]);
    options.stiffenerPlyTotal = toInt(args[1]);
    options.rsFileName = args[2];
  } else if (count == 4 || (count == 8 && program == Program::Iter)) {
    options.optionString = args[0];
    options.skinPlyTotal = toInt(args[1]);
    options.stiffenerPlyTotal = toInt(args[2]);
    if (count == 8) {
      options.plyNumbersGiven = true;
      for (int i = 0; i < 4; ++i) options.commandLinePlyNumbers[i] = toInt(args[3 + i]);
    }
    options.rsFileName = args[count - 1];
  } else {
    promptForInputs(options, in, out);
  }
  return options;
}

void appendRsSuffix(RunOptions& options) {
  if (options.rsFileName.find(".rs") == std::string::npos) options.rsFileName += ".rs";
}

void scanOptionString(RunOptions& options) {
  for (const char letter : options.optionString) {
    switch (letter) {
      case '-': break;
      case 'b': options.balance = true; break;
      case 'n': options.balance = false; break;
      case 'f': options.fourPlyRule = true; break;
      case 'p': options.setPlyNumbers = true; break;
      case 'r': options.roundRobin = true; break;
      default: fatal(Stream::Err, "unknown option!", true);
    }
  }
}

void fillRules(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener) {
  // A laminate without a ply has no position to design; the searches cannot start from one.
  for (const int total : {options.skinPlyTotal, options.stiffenerPlyTotal})
    if (total < 1 || total > kMaxPlyTotal) fatal(Stream::Err, "error: invalid ply number", true);
  for (LaminateRules* rules : {&skin, &stiffener}) {
    *rules = LaminateRules{};
    rules->balance = options.balance;
    rules->fourPlyRule = options.fourPlyRule;
  }
  skin.halfPlyCount = halfOf(options.skinPlyTotal);
  stiffener.halfPlyCount = halfOf(options.stiffenerPlyTotal);
}

void plyNumberDialog(LaminateRules& skin, LaminateRules& stiffener, std::istream& in,
                     std::ostream& err) {
  err << "laminate to set ply number(panel skin->0  stiffener->1  both->2)" << '\n'
      << "   Select=";
  const int select = readInt(in);
  err << '\n';
  if (select != 1) dialogBlock(skin, "## panel skin ##", in, err);
  if (select != 0) dialogBlock(stiffener, "## stiffener  ##", in, err);
}

// Fixed ply numbers that no half laminate can meet would leave the searches without a single
// feasible design, so they end the run before any search. A half of one position is left as
// given: the searches judge its single ply by the count of that ply's own orientation alone, so
// some orientation always gives a design (the round-robin start stiffener, which must meet the
// numbers exactly, ends the run with its own message instead).
void refuseUnreachablePlyNumbers(const LaminateRules& rules) {
  if (!rules.plyNumbersFixed || rules.halfPlyCount < 2) return;
  if (std::min({rules.ply0, rules.ply45, rules.ply90}) < 0)
    fatal(Stream::Err, "error: invalid fixed ply numbers", true);
  if (rules.fourPlyRule && !fourPlyRuleAllows(rules.ply0, rules.ply45, rules.ply90))
    fatal(Stream::Err, "error: fixed ply numbers break the 4-ply rule", true);
}

void settlePlyNumbers(const RunOptions& options, LaminateRules& skin, LaminateRules& stiffener,
                      std::istream& in) {
  if (!options.setPlyNumbers) return;
  if (options.plyNumbersGiven) {
    const int* given = options.commandLinePlyNumbers;
    fixPlyNumbers(skin, given[0], given[1]);
    fixPlyNumbers(stiffener, given[2], given[3]);
  } else {
    plyNumberDialog(skin, stiffener, in, std::cerr);
  }
  refuseUnreachablePlyNumbers(skin);
  refuseUnreachablePlyNumbers(stiffener);
}

void prepareRun(PreparedRun& run, Program program, int argc, char** argv, std::istream& in,
                std::ostream& out) {
  if (program == Program::Iter)
    std::cerr << "kelm iterative method ver 1.0.0 [vc++.net] (Jan. 2004)" << '\n';
  const std::vector<std::string> args(argv + 1, argv + argc);
  run.options = gatherInputs(args, program, in, out);
  appendRsSuffix(run.options);
  scanOptionString(run.options);
  RsFile(run.options.rsFileName, run.model);
  fillRules(run.options, run.skinRules, run.stiffenerRules);
  settlePlyNumbers(run.options, run.skinRules, run.stiffenerRules, in);
}

void timeAndReport(SearchDriver& driver, const RunOptions& options) {
  const std::clock_t start = std::clock();
  driver.run(options.skinPlyTotal, options.stiffenerPlyTotal);
  const std::clock_t end = std::clock();
  driver.report();
  const long long milliseconds =
      static_cast<long long>(end - start) * 1000 / static_cast<long long>(CLOCKS_PER_SEC);
  std::cout << "caluclation time = " << milliseconds * 0.001 << " [s]" << '\n' << '\n';
  std::cout.flush();
}

}  // namespace kelm
