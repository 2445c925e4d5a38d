#include "eval/surface_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kelm {
namespace {

struct Checked {
  int status;
  std::string report;
};

Checked check(const std::string& text) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("kelm_check_" + std::to_string(getpid()) + ".rs");
  std::ofstream(file, std::ios::binary) << text;
  std::ostringstream out;
  const int status = checkSurfaceFile(file.string(), out);
  std::filesystem::remove(file);
  return {status, out.str()};
}

// Each defect the searches refuse, named with its line.
TEST(SurfaceCheckTest, NamesTheLineTheSearchesRefuseAndWhy) {
  const std::pair<std::string, std::string> refused[] = {
      {"0 1.0\n\n", "line 2: refused: a blank line"},
      {"\xEF\xBB\xBF" "0 1.0\n", "line 1: refused: a byte-order mark"},
      {"0 1.0\n1 " + std::string(300, '1') + "\n", "line 2: refused: longer than 255"},
      {"0 1.0\nzz 1.0\n", "line 2: refused: a code that is not a hexadecimal number"},
      {"0 1.0\n10\n", "line 2: refused: a code without a coefficient"},
      {"123456789 1.0\n", "line 1: refused: a code beyond 32 bits"},
      {"0 1.0\n  # comment\n", "line 2: refused: a comment that does not start"},
      {"0 x\n", "line 1: refused: a coefficient that is not a number"}};
  for (const auto& [text, expected] : refused) {
    const Checked checked = check(text);
    EXPECT_EQ(checked.status, 1) << expected;
    EXPECT_NE(checked.report.find(expected), std::string::npos) << checked.report;
  }
}

// Terms read but never used, and a decimal comma, are reported; the file is still accepted.
TEST(SurfaceCheckTest, ReportsUnusedTermsAndNumbersCutShortThenTheSurfaceFacts) {
  const Checked checked = check("# x1 squared, concave\n0 1.5\n2 -1,5\n3 1.0\n111 1.0\n2 4.0\n");
  EXPECT_EQ(checked.status, 0) << checked.report;
  for (const char* expected :
       {"line 3: the coefficient is read as -1; the text after it (\",5\") is ignored",
        "line 4: a term of degree 3 in 1 variable(s)", "line 5: a term of degree 3 in 3 variable(s)",
        "line 6: repeats the code of line 3, which counts",
        "terms used: 1 constant 0 linear 1 square 0 product",
        "value of all-0 panels: 0.5\n",  // 1.5 - x1^2 at x1 = 1
        "concave", "the searches accept this file"})
    EXPECT_NE(checked.report.find(expected), std::string::npos) << expected << "\n"
                                                                << checked.report;
  EXPECT_NE(check("0 1\n2 1\n").report.find("not concave"), std::string::npos);
}

}  // namespace
}  // namespace kelm
