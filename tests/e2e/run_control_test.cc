// Watching, stopping and scripting a run: stop requests keep the best designs found, the JSON
// document agrees with the text report, and the live line appears on a terminal only.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/program_run.h"

namespace {

namespace fs = std::filesystem;
using kelm::e2e::readFile;
using nlohmann::json;

const std::string kPanel = std::string(KELM_EXAMPLES) + "/panel_a.rs";

struct Finished {
  std::string out;
  std::string err;
  int status = -1;
};

// Runs a program with standard output and error in files (or standard error on a fresh
// pseudo-terminal), sending `signal` after `delay` when given.
Finished runControlled(const std::string& exe, const std::vector<std::string>& args, int signal = 0,
                  std::chrono::milliseconds delay = {}, bool errOnTerminal = false,
                  rlim_t addressSpace = RLIM_INFINITY) {
  const fs::path dir = fs::temp_directory_path() / ("kelm_control_" + std::to_string(getpid()));
  fs::create_directories(dir);
  int master = -1, slave = -1;
  if (errOnTerminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0 || !freopen("/dev/null", "r", stdin) ||
        !freopen("out", "w", stdout) || !freopen("err", "w", stderr))
      _exit(127);
    if (errOnTerminal) dup2(slave, STDERR_FILENO);
    const rlimit limit{addressSpace, addressSpace};
    if (addressSpace != RLIM_INFINITY && setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  std::string terminal;
  if (errOnTerminal) {
    close(slave);
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) terminal.append(buffer, n);
    close(master);  // read ends with EIO once the program has exited
  }
  if (signal != 0) {
    std::this_thread::sleep_for(delay);
    kill(pid, signal);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  Finished run{readFile(dir / "out"), errOnTerminal ? terminal : readFile(dir / "err"),
          WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1};
  fs::remove_all(dir);
  return run;
}

int designCount(const std::string& out) {
  int count = 0;
  for (std::size_t at = 0; (at = out.find("optimal value = ", at)) != std::string::npos; ++at)
    ++count;
  return count;
}

fs::path scratchFile(const std::string& name) {
  return fs::temp_directory_path() / (name + "_" + std::to_string(getpid()) + ".json");
}

TEST(RunControlTest, StopRequestsKeepTheBestDesignsFoundAndSayWhy) {
  using namespace std::chrono_literals;
  const Finished interrupted = runControlled(KELM_ALT_PATH, {"36", "36", kPanel}, SIGINT, 800ms);
  EXPECT_EQ(interrupted.status, 130);
  EXPECT_NE(interrupted.out.find("run interrupted: the designs below are the best found so far"),
            std::string::npos);
  EXPECT_GE(designCount(interrupted.out), 1);
  EXPECT_NE(interrupted.out.find("caluclation time = "), std::string::npos);

  const Finished terminated = runControlled(KELM_ITER_PATH, {"-r", "30", "30", kPanel}, SIGTERM, 800ms);
  EXPECT_EQ(terminated.status, 143);
  EXPECT_NE(terminated.out.find("run interrupted"), std::string::npos);

  const Finished limited = runControlled(KELM_ITER_PATH, {"--time-limit=0.5", "200", "200", kPanel});
  EXPECT_EQ(limited.status, 124);
  EXPECT_NE(limited.out.find("time limit reached"), std::string::npos);
  EXPECT_GE(designCount(limited.out), 1);
}

// A surface that does not read the stiffener ties millions of designs: both methods' default
// searches stop within a second among them, by the time limit or Ctrl-C, and list the first
// thousand (the document too), saying how many more they found.
TEST(RunControlTest, StopsAmongMillionsOfTiesAreMetAtOnce) {
  using namespace std::chrono_literals;
  const fs::path flat = fs::temp_directory_path() / ("kelm_flat_" + std::to_string(getpid()) + ".rs");
  std::ofstream(flat) << "0 1\n1 1\n";
  const fs::path file = scratchFile("kelm_stopped");
  for (const std::string exe : {KELM_ALT_PATH, KELM_ITER_PATH}) {
    const auto start = std::chrono::steady_clock::now();
    const Finished limited = runControlled(
        exe, {"--seed=1", "--time-limit=1", "--json=" + file.string(), "24", "32", flat.string()});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << exe;
    EXPECT_EQ(limited.status, 124);
    EXPECT_EQ(designCount(limited.out), 1000) << exe;
    EXPECT_NE(limited.out.find(" more designs found so far are not listed: the run was stopped"),
              std::string::npos);
    const json document = json::parse(readFile(file));
    EXPECT_EQ(document["designs"].size(), 1000u);
    EXPECT_GT(document["outcome"]["designsNotListed"].get<long long>(), 0);

    const auto pressed = std::chrono::steady_clock::now();
    const Finished interrupted =
        runControlled(exe, {"--seed=1", "24", "32", flat.string()}, SIGINT, 1000ms);
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 2s) << exe;
    EXPECT_EQ(interrupted.status, 130);
  }
  fs::remove(flat);
  fs::remove(file);
}

// The document lists the designs of the text report, in its order, with the same values.
TEST(RunControlTest, JsonDocumentAgreesWithTheReport) {
  const fs::path file = scratchFile("kelm_optimal");
  const Finished run = runControlled(KELM_ALT_PATH, {"--json=" + file.string(), "16", "16", kPanel});
  ASSERT_EQ(run.status, 0);
  const json document = json::parse(readFile(file));
  EXPECT_EQ(document["program"], "kelm_alt");
  EXPECT_EQ(document["search"], "simultaneous");
  EXPECT_EQ(document["outcome"]["status"], "optimal");
  EXPECT_EQ(document["inputs"]["skinPlyTotal"], 16);
  ASSERT_EQ(static_cast<int>(document["designs"].size()), designCount(run.out));
  std::ostringstream expected;
  expected.precision(10);
  for (const json& design : document["designs"]) {
    expected << design["skin"]["printed"].get<std::string>() << '\n'
             << design["stiffener"]["printed"].get<std::string>() << '\n'
             << "optimal value = " << design["value"].get<double>() << '\n';
  }
  EXPECT_EQ(run.out.rfind(expected.str(), 0), 0u) << run.out;
  EXPECT_EQ(document["steps"].get<long long>() > 0, true);

  const Finished stopped =
      runControlled(KELM_ALT_PATH, {"--time-limit=0.3", "--json=" + file.string(), "36", "36", kPanel});
  EXPECT_EQ(stopped.status, 124);
  EXPECT_EQ(json::parse(readFile(file))["outcome"]["status"], "time-limit");

  // The tight search names itself, and stopped early it still reports its best design.
  const Finished tight = runControlled(
      KELM_ALT_PATH, {"--tight", "--time-limit=0.3", "--json=" + file.string(), "128", "128", kPanel});
  EXPECT_EQ(tight.status, 124);
  EXPECT_GE(designCount(tight.out), 1);
  EXPECT_EQ(json::parse(readFile(file))["search"], "simultaneous-tight");
  const Finished iterTight =
      runControlled(KELM_ITER_PATH, {"--tight", "--json=" + file.string(), "16", "16", kPanel});
  EXPECT_EQ(iterTight.status, 0);
  EXPECT_EQ(json::parse(readFile(file))["search"], "branch-and-bound-tight");
  fs::remove(file);
}

TEST(RunControlTest, ErrorsAreRecordedAndAnUnwritableDocumentIsReported) {
  const fs::path file = scratchFile("kelm_error");
  const Finished failed = runControlled(KELM_ITER_PATH, {"--json=" + file.string(), "8", "8", "no_such"});
  EXPECT_EQ(failed.status, 1);
  const json document = json::parse(readFile(file));
  EXPECT_EQ(document["outcome"]["status"], "error");
  EXPECT_EQ(document["outcome"]["message"], "Cannot open responce surface file!");
  const Finished evalFailed = runControlled(
      KELM_EVAL_PATH, {"--json=" + file.string(), kPanel, "8", "8", "[45/45/0/x]s", "[0/0/0/0]s"});
  EXPECT_EQ(evalFailed.status, 1);
  EXPECT_EQ(json::parse(readFile(file))["outcome"]["status"], "error");
  fs::remove(file);

  const Finished unwritable = runControlled(KELM_ALT_PATH, {"--json=/no/such/dir/x.json", "8", "8", kPanel});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(designCount(unwritable.out), 1);  // the report itself is kept
  EXPECT_NE(unwritable.err.find("error: cannot write the JSON result to /no/such/dir/x.json\n"),
            std::string::npos);
}

// Under a real memory limit the search ends with one line that says so and how far it got.
// (The sanitizers reserve more address space than the limit allows, so that build skips it.)
TEST(RunControlTest, RunningOutOfMemoryIsAClearError) {
#ifdef KELM_SANITIZED
  GTEST_SKIP() << "address-space limits and the address sanitizer do not mix";
#endif
  const Finished run = runControlled(KELM_ALT_PATH, {"40", "40", kPanel}, 0, {}, false,
                                     rlim_t{300} << 20);
  EXPECT_EQ(run.status, 1);
  const std::size_t at = run.err.find("error: memory ran out with ");
  ASSERT_NE(at, std::string::npos) << run.err.substr(run.err.size() - std::min<std::size_t>(200, run.err.size()));
  EXPECT_NE(run.err.find(" open designs held after ", at), std::string::npos);
  EXPECT_EQ(run.err.back(), '\n');
}

// Every search draws its live line on a terminal and clears it before the report; on a file
// only the plain step counter appears.
TEST(RunControlTest, LiveLineOnATerminalOnly) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> searches = {
      {KELM_ALT_PATH, {"36", "36"}},
      {KELM_ALT_PATH, {"-r", "20", "20"}},
      {KELM_ITER_PATH, {"200", "200"}},
      {KELM_ITER_PATH, {"-r", "30", "30"}}};
  for (const auto& [exe, totals] : searches) {
    std::vector<std::string> args{"--time-limit=0.6"};
    args.insert(args.end(), totals.begin(), totals.end());
    args.push_back(kPanel);
    const Finished onTerminal = runControlled(exe, args, 0, {}, true);
    EXPECT_NE(onTerminal.err.find(" steps  "), std::string::npos) << exe << " " << totals[0];
    EXPECT_NE(onTerminal.err.find("\r\x1b[K"), std::string::npos);
    const Finished onFile = runControlled(exe, args);
    EXPECT_EQ(onFile.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(onFile.err.find(" steps  "), std::string::npos);
  }
}

}  // namespace
