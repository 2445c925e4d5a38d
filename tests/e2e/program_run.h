#pragma once

// Runs one of the real programs in a working folder, with standard input from a file, and
// collects what it wrote on both streams and its exit status.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kelm::e2e {

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

inline Outcome runProgram(const std::string& exe, const std::vector<std::string>& args,
                          const std::filesystem::path& workDir,
                          const std::filesystem::path& stdinFile) {
  const std::filesystem::path outFile = workDir / "out";
  const std::filesystem::path errFile = workDir / "err";
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(workDir.c_str()) != 0) _exit(127);
    if (!freopen(stdinFile.c_str(), "r", stdin) || !freopen(outFile.c_str(), "w", stdout) ||
        !freopen(errFile.c_str(), "w", stderr))
      _exit(127);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  return {readFile(outFile), readFile(errFile), WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1};
}

inline std::string programPath(const std::string& name) {
  if (name == "kelm_eval") return KELM_EVAL_PATH;
  return name == "kelm_alt" ? KELM_ALT_PATH : KELM_ITER_PATH;
}

}  // namespace kelm::e2e
