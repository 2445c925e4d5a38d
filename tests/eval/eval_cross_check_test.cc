// kelm_eval must value a design exactly as the searches that found it: run the real programs
// on a bundled example and feed each reported optimum back to kelm_eval.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  pclose(pipe);
  return text;
}

struct Optimum {
  std::string skin, stiffener, value;
};

// The report lists each optimum as skin line, stiffener line and "optimal value = ". A marker
// line above an odd laminate does not start with '['.
std::vector<Optimum> optimaOf(const std::string& report) {
  std::vector<Optimum> optima;
  std::vector<std::string> brackets;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '[') brackets.push_back(line);
    if (line.rfind("optimal value = ", 0) == 0 && brackets.size() >= 2) {
      optima.push_back({brackets[brackets.size() - 2], brackets.back(), line.substr(16)});
      brackets.clear();
    }
    if (line.rfind("> ", 0) == 0 || line.rfind("step ", 0) == 0) brackets.clear();
  }
  return optima;
}

void expectEvalAgrees(const std::string& program, const std::string& options, int skinTotal,
                      int stiffenerTotal) {
  const std::string example = std::string(KELM_EXAMPLES) + "/panel_a.rs";
  const std::string totals = std::to_string(skinTotal) + " " + std::to_string(stiffenerTotal);
  const std::vector<Optimum> optima =
      optimaOf(output(program + " " + options + " " + totals + " " + example + " 2>/dev/null"));
  ASSERT_FALSE(optima.empty()) << program << " " << options;
  for (const Optimum& optimum : optima) {
    const std::string eval = output(std::string(KELM_EVAL_PATH) + " " + example + " " + totals +
                                    " '" + optimum.skin + "' '" + optimum.stiffener + "' " +
                                    options);
    EXPECT_NE(eval.find("objective value = " + optimum.value + "\n"), std::string::npos)
        << program << " " << options << " " << totals << "\n" << eval;
  }
}

TEST(EvalCrossCheckTest, ValuesTheReportedOptimaAsTheSearchesDo) {
  expectEvalAgrees(KELM_ALT_PATH, "-n", 10, 12);
  expectEvalAgrees(KELM_ALT_PATH, "-bf", 13, 9);
  expectEvalAgrees(KELM_ITER_PATH, "-b", 16, 11);
}

// A designs file that is a search's report as it is: every tied optimum is picked out, in the
// report's order, and valued as the search valued it.
TEST(EvalCrossCheckTest, ChecksEveryTiedOptimumOfASearchReport) {
  const std::string example = std::string(KELM_EXAMPLES) + "/synthetic_comments.rs";
  const std::string report = output(std::string(KELM_ALT_PATH) + " -n 6 6 " + example +
                                    " 2>/dev/null");
  const std::vector<Optimum> optima = optimaOf(report);
  ASSERT_GT(optima.size(), 100u);  // the surface leaves hundreds of ties
  const std::string checked =
      output("printf '%s' '" + report + "' | " + KELM_EVAL_PATH + " --designs=- " + example +
             " 6 6 -n");
  std::size_t at = 0;
  for (std::size_t i = 0; i < optima.size(); ++i) {
    const std::string header = "design " + std::to_string(i + 1) + " (line ";
    at = checked.find(header, at);
    ASSERT_NE(at, std::string::npos) << header;
    const std::size_t skin = checked.find(optima[i].skin, at);
    const std::size_t value = checked.find("objective value = " + optima[i].value + "\n", at);
    ASSERT_LT(skin, value) << i;
  }
  EXPECT_EQ(checked.find("design " + std::to_string(optima.size() + 1) + " "), std::string::npos);
}

}  // namespace
