#pragma once

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>

#include "base/fatal.h"

namespace kelm::fuzz {

// A failure ends a program's run; here it ends only the current input.
using FatalExit = Failure;

// Swallows everything: prompts, dialog and messages cost nothing and do not flood the log.
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// Once per fuzzing process: standard streams go nowhere.
inline void quietAndSurviveFatal() {
  static NullBuffer sink;
  std::cout.rdbuf(&sink);
  std::cerr.rdbuf(&sink);
}

// A private scratch directory, removed when the fuzzing process ends normally (after a crash
// it stays behind). The path is never destroyed, so that the clean-up at exit still has it.
inline const std::filesystem::path& scratchDirectory() {
  static const std::filesystem::path* const dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelm_fuzz_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchDirectory(), ignored);
    });
    return new std::filesystem::path(pattern);
  }();
  return *dir;
}

}  // namespace kelm::fuzz
