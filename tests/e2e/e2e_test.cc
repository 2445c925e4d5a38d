// Runs the real programs on the checked-in cases: each folder under e2e/cases holds the program
// name, its arguments (one per line), standard input, the response-surface files it reads (or,
// in `examples`, the names of bundled examples it reads), and
// the expected standard output (without the calculation-time line), standard error and status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/program_run.h"

namespace fs = std::filesystem;

namespace {

using kelm::e2e::Outcome;
using kelm::e2e::programPath;
using kelm::e2e::readFile;
using kelm::e2e::runProgram;

std::vector<std::string> readLines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The calculation time varies from run to run; everything else must match byte for byte.
std::string withoutTimeLine(const std::string& out) {
  std::string kept;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    end = end == std::string::npos ? out.size() : end + 1;
    const std::string line = out.substr(start, end - start);
    if (line.rfind("caluclation time = ", 0) != 0) kept += line;
    start = end;
  }
  return kept;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, MatchesExpectedOutput) {
  const fs::path caseDir = fs::path(KELM_E2E_CASES) / GetParam();
  const fs::path work = fs::temp_directory_path() / ("kelm_e2e_" + GetParam() + "_" +
                                                     std::to_string(getpid()));
  fs::remove_all(work);
  fs::create_directories(work);
  for (const auto& entry : fs::directory_iterator(caseDir))
    if (entry.path().extension() == ".rs") fs::copy_file(entry.path(), work / entry.path().filename());
  // Cases that run on a bundled example name it instead of keeping a copy.
  if (fs::exists(caseDir / "examples")) {
    for (const std::string& name : readLines(caseDir / "examples"))
      fs::copy_file(fs::path(KELM_EXAMPLES) / name, work / name);
  }

  const std::string program = readLines(caseDir / "program").at(0);
  const Outcome got =
      runProgram(programPath(program), readLines(caseDir / "args"), work, caseDir / "stdin");
  EXPECT_EQ(withoutTimeLine(got.out), readFile(caseDir / "stdout"));
  EXPECT_EQ(got.err, readFile(caseDir / "stderr"));
  EXPECT_EQ(got.status, std::stoi(readFile(caseDir / "status")));
  fs::remove_all(work);
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(KELM_E2E_CASES))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
