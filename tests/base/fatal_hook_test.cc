#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <unistd.h>

#include "response/rs_file.h"
#include "base/fatal.h"
#include "support/capture.h"

namespace kelm {
namespace {

using ::testing::ExitedWithCode;

// A harness that survives fatal messages (the fuzz targets) must see exactly what a program
// would have printed, and a rejected input must leave nothing behind that later runs trip over.
struct Survived {};
[[noreturn]] void throwSurvived() { throw Survived{}; }

class SurvivedFatalTest : public ::testing::Test {
 protected:
  void SetUp() override { setFatalExitHook(&throwSurvived); }
  void TearDown() override { setFatalExitHook(nullptr); }
};

int lowestFreeDescriptor() {
  const int descriptor = dup(0);
  close(descriptor);
  return descriptor;
}

TEST_F(SurvivedFatalTest, MessageIsWrittenAsBeforeAndAReturningHookStillExits) {
  {
    testing::CapturedStreams streams;
    EXPECT_THROW(fatal(Stream::Err, "error: RsFile", true), Survived);
    EXPECT_THROW(fatal(Stream::Out, "Singular matrix", false), Survived);
    EXPECT_EQ(streams.err(), "error: RsFile\n");
    EXPECT_EQ(streams.out(), "Singular matrix");
  }
  EXPECT_EXIT((setFatalExitHook([] {}), fatal(Stream::Err, "unknown option!", true)),
              ExitedWithCode(1), "^unknown option!\n$");
}

// Rejected while the file is open (a line over the limit, an unreadable directory) or after
// it was read (a malformed term): the surface file is closed every time.
TEST_F(SurvivedFatalTest, RejectedSurfaceFileIsClosed) {
  const std::string longLine = ::testing::TempDir() + "fatal_hook_long.rs";
  const std::string badTerm = ::testing::TempDir() + "fatal_hook_bad.rs";
  std::ofstream(longLine, std::ios::binary) << "1 2.5 " << std::string(300, 'x') << '\n';
  std::ofstream(badTerm, std::ios::binary) << "1 `\n";
  const int freeDescriptor = lowestFreeDescriptor();
  for (const std::string& path : {longLine, badTerm, ::testing::TempDir()}) {
    testing::CapturedStreams quiet;
    ResponseSurface model;
    EXPECT_THROW(RsFile(path, model), Survived) << path;
    EXPECT_EQ(lowestFreeDescriptor(), freeDescriptor) << path;
  }
}

}  // namespace
}  // namespace kelm
