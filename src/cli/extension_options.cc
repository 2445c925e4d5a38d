#include "cli/extension_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/fatal.h"

namespace kelm {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::uint32_t seedOf(const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 10 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  const unsigned long long seed = digits ? std::strtoull(value.c_str(), nullptr, 10) : 0;
  if (!digits || seed > 0xffffffffULL)
    fatal(Stream::Err, "error: --seed= takes a whole number from 0 to 4294967295", true);
  return static_cast<std::uint32_t>(seed);
}

double secondsOf(const std::string& value) {
  const std::optional<double> seconds = timeLimitOf(value);
  if (!seconds)
    fatal(Stream::Err, "error: --time-limit= takes a number of seconds greater than 0", true);
  return *seconds;
}

double shareOf(const std::string& value) {
  char* end = nullptr;
  errno = 0;
  const double percent = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || errno != 0 || !(percent > 0.0 && percent <= 33.0))
    fatal(Stream::Err, "error: --min-share= takes a percentage greater than 0 and at most 33",
          true);
  return percent;
}

int runLimitOf(const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 6 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  const int limit = digits ? std::stoi(value) : 0;
  if (limit < 1) fatal(Stream::Err, "error: --max-run= takes a whole number of 1 or more", true);
  return limit;
}

int threadsOf(const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 3 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  const int threads = digits ? std::stoi(value) : 0;
  if (threads < 1 || threads > 256)
    fatal(Stream::Err, "error: --threads= takes a whole number from 1 to 256", true);
  return threads;
}

// A size in bytes, with an optional K, M or G (powers of 1024).
std::int64_t memoryOf(const std::string& value) {
  std::string digits = value;
  std::int64_t unit = 1;
  const char last = value.empty() ? '\0' : value.back();
  if (last == 'K' || last == 'M' || last == 'G' || last == 'k' || last == 'm' || last == 'g') {
    digits.pop_back();
    unit = last == 'K' || last == 'k' ? 1LL << 10 : last == 'M' || last == 'm' ? 1LL << 20 : 1LL << 30;
  }
  const bool ok = !digits.empty() && digits.size() <= 12 &&
                  digits.find_first_not_of("0123456789") == std::string::npos;
  const std::int64_t amount = ok ? std::stoll(digits) : 0;
  if (amount < 1 || amount > (1LL << 50) / unit)
    fatal(Stream::Err,
          "error: --memory= takes a size in bytes greater than 0, optionally with K, M or G", true);
  return amount * unit;
}

int topOf(const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 6 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  const int k = digits ? std::stoi(value) : 0;
  if (k < 1 || k > 100000)
    fatal(Stream::Err, "error: --top= takes a whole number from 1 to 100000", true);
  return k;
}

// The file named by an option such as --json=FILE; an empty name ends the run.
std::string fileNameOf(const std::string& arg, std::size_t prefixLength, const char* what) {
  std::string name = arg.substr(prefixLength);
  if (name.empty())
    fatal(Stream::Err, "error: " + arg + " needs " + what, true);
  return name;
}

// The guideline options, which all three programs know.
bool takeGuideline(const std::string& arg, ExtensionOptions& options) {
  if (arg == "--no-cross-ply-jump") {
    options.noCrossPlyJump = true;
  } else if (arg == "--outer-45") {
    options.outer45 = true;
  } else if (startsWith(arg, "--min-share=")) {
    options.minSharePercent = shareOf(arg.substr(12));
  } else if (startsWith(arg, "--max-run=")) {
    options.maxRun = runLimitOf(arg.substr(10));
  } else {
    return false;
  }
  return true;
}

// The options of kelm_eval alone.
bool takeEvalOption(const std::string& arg, ExtensionOptions& options) {
  if (arg == "--check") {
    options.check = true;
  } else if (startsWith(arg, "--designs=")) {
    options.designsFile = fileNameOf(arg, 10, "a file name (- for standard input)");
  } else if (startsWith(arg, "--svg=")) {
    options.svgFile = fileNameOf(arg, 6, "a file name");
  } else {
    return false;
  }
  return true;
}

// Numbers separated by commas: a lamination-parameter target or its weights, eight for a panel
// (x1..x8), four for a single laminate (x1, x2, x5, x6).
std::vector<double> targetNumbersOf(const std::string& arg, std::size_t prefixLength, bool single) {
  std::vector<double> values;
  const std::string list = arg.substr(prefixLength);
  bool valid = true;
  for (std::size_t from = 0; valid && from <= list.size();) {
    const std::size_t comma = std::min(list.find(',', from), list.size());
    const std::string item = list.substr(from, comma - from);
    char* end = nullptr;
    const double value = std::strtod(item.c_str(), &end);
    valid = !item.empty() && *end == '\0' && std::isfinite(value);
    values.push_back(value);
    from = comma + 1;
  }
  if (single && (!valid || values.size() != 4))
    fatal(Stream::Err, "error: --skin-only: " + arg.substr(0, prefixLength) +
                           " takes four numbers separated by commas (x1, x2, x5, x6)", true);
  if (!single && (!valid || values.size() != 8))
    fatal(Stream::Err, "error: " + arg.substr(0, prefixLength) +
                           " takes eight numbers separated by commas", true);
  return values;
}

int poolOf(const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 6 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  const int pool = digits ? std::stoi(value) : 0;
  if (pool < 1) fatal(Stream::Err, "error: --pool= takes a whole number of 1 or more", true);
  return pool;
}

double capOf(const std::string& value) {
  char* end = nullptr;
  const double cap = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !std::isfinite(cap))
    fatal(Stream::Err, "error: --cap= takes a number", true);
  return cap;
}

// FILE:LIMIT, split at the last colon (a file name may hold one).
std::pair<std::string, double> requirementOf(const std::string& arg) {
  const std::string value = arg.substr(10);
  const std::size_t colon = value.rfind(':');
  char* end = nullptr;
  const std::string limitText = colon == std::string::npos ? "" : value.substr(colon + 1);
  const double limit = std::strtod(limitText.c_str(), &end);
  if (colon == std::string::npos || colon == 0 || limitText.empty() || *end != '\0' ||
      !std::isfinite(limit))
    fatal(Stream::Err, "error: --require= takes FILE:LIMIT, a surface file and a number", true);
  return {value.substr(0, colon), limit};
}

// The further failure modes, for the searches and kelm_eval.
bool takeFailureMode(const std::string& arg, ExtensionOptions& options) {
  if (startsWith(arg, "--min-of=")) {
    options.minOfFiles.push_back(fileNameOf(arg, 9, "a surface file"));
  } else if (startsWith(arg, "--require=")) {
    options.requirements.push_back(requirementOf(arg));
  } else {
    return false;
  }
  return true;
}

// The options of kelm_sample and kelm_fit.
bool takeWorkflowOption(const std::string& arg, Program program, ExtensionOptions& options) {
  if (startsWith(arg, "--out=")) {
    options.outFile = fileNameOf(arg, 6, "a file name");
  } else if (startsWith(arg, "--svg=")) {
    options.svgFile = fileNameOf(arg, 6, "a file name");
  } else if (program == Program::Sample && startsWith(arg, "--seed=")) {
    options.seed = seedOf(arg.substr(7));
  } else if (program == Program::Sample && startsWith(arg, "--pool=")) {
    options.poolSize = poolOf(arg.substr(7));
  } else if (program == Program::Fit && startsWith(arg, "--response=")) {
    options.responses.push_back(fileNameOf(arg, 11, "a column name"));
  } else if (program == Program::Fit && startsWith(arg, "--weight=")) {
    options.weightColumn = fileNameOf(arg, 9, "a column name");
  } else if (program == Program::Fit && startsWith(arg, "--cap=")) {
    options.cap = capOf(arg.substr(6));
  } else if (program == Program::Fit && startsWith(arg, "--target=")) {
    options.target = targetNumbersOf(arg, 9, options.skinOnly);
  } else if (program == Program::Fit && startsWith(arg, "--weights=")) {
    options.targetWeights = targetNumbersOf(arg, 10, options.skinOnly);
  } else {
    return false;
  }
  return true;
}

// Whether `arg` is an extension option of `program`; if so, records it.
bool take(const std::string& arg, Program program, bool only, ExtensionOptions& options) {
  if (arg == "--help" || (arg == "-h" && only)) {
    options.help = true;
  } else if (arg == "--version") {
    options.version = true;
  } else if (arg == "--skin-only" && program != Program::Iter) {
    options.skinOnly = true;
  } else if (program == Program::Fit) {
    return takeWorkflowOption(arg, program, options);
  } else if (program != Program::Eval && startsWith(arg, "--ply-numbers=")) {
    options.plyNumbers = plyNumbersOf(arg.substr(14));
  } else if (takeGuideline(arg, options)) {
    return true;
  } else if (program == Program::Sample) {
    return takeWorkflowOption(arg, program, options);
  } else if (takeFailureMode(arg, options)) {
    return true;
  } else if (startsWith(arg, "--json=")) {
    options.jsonFile = fileNameOf(arg, 7, "a file name");
  } else if (program == Program::Eval) {
    return takeEvalOption(arg, options);
  } else if (startsWith(arg, "--seed=")) {
    options.seed = seedOf(arg.substr(7));
  } else if (startsWith(arg, "--time-limit=")) {
    options.timeLimit = secondsOf(arg.substr(13));
  } else if (arg == "--tight") {
    options.tight = true;
  } else if (startsWith(arg, "--threads=")) {
    options.threads = threadsOf(arg.substr(10));
  } else if (startsWith(arg, "--top=")) {
    options.top = topOf(arg.substr(6));
  } else if (startsWith(arg, "--exclude=")) {
    options.excludeFile = fileNameOf(arg, 10, "a designs file");
  } else if (startsWith(arg, "--plies=") && program == Program::Alt) {
    options.plies = plyRangeOf(arg.substr(8));
  } else if (startsWith(arg, "--weights=") && program == Program::Alt) {
    options.plyWeights = plyWeightsOf(arg.substr(10));
  } else if (startsWith(arg, "--memory=") && program == Program::Alt) {
    options.memoryBudget = memoryOf(arg.substr(9));
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::optional<double> timeLimitOf(const std::string& value) {
  char* end = nullptr;
  errno = 0;
  const double seconds = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || errno != 0 || !std::isfinite(seconds) || seconds <= 0.0)
    return std::nullopt;
  return seconds;
}

void ExtensionOptions::applyGuidelines(RunOptions& options) const {
  options.minSharePercent = minSharePercent;
  options.maxRun = maxRun;
  options.noCrossPlyJump = noCrossPlyJump;
  options.outer45 = outer45;
  options.plyNumbers = plyNumbers;
  options.skinOnly = skinOnly;
}

ExtensionOptions takeExtensionOptions(std::vector<std::string>& args, Program program) {
  ExtensionOptions options;
  const bool only = args.size() == 1;
  // kelm_fit reads its target's numbers by the laminates it is for, wherever --skin-only stands.
  if (program == Program::Fit)
    options.skinOnly = std::find(args.begin(), args.end(), "--skin-only") != args.end();
  std::vector<std::string> rest;
  for (const std::string& arg : args)
    if (!take(arg, program, only, options)) rest.push_back(arg);
  args = std::move(rest);
  return options;
}

}  // namespace kelm
