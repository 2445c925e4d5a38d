#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <string>

#include <unistd.h>

#include "base/fatal.h"
#include "cli/guarded_main.h"
#include "response/rs_file.h"
#include "support/capture.h"

namespace kelm {
namespace {

// A failure is an exception the caller survives; a program's entry writes exactly what it
// always printed and gives status 1, and a rejected input leaves nothing behind that later runs
// trip over.
int lowestFreeDescriptor() {
  const int descriptor = dup(0);
  close(descriptor);
  return descriptor;
}

std::string recorded;

TEST(FailureTest, ProgramEntryWritesTheMessageRecordsItOnceAndReturnsOne) {
  testing::CapturedStreams streams;
  setFailureRecordHook([](std::string_view message) { recorded += std::string(message) + ";"; });
  EXPECT_EQ(guardedMain([]() -> int { fatal(Stream::Err, "error: RsFile", true); }), 1);
  EXPECT_EQ(guardedMain([]() -> int { fatal(Stream::Out, "Singular matrix", false); }), 1);
  EXPECT_EQ(guardedMain([]() -> int { throw std::bad_alloc(); }), 1);
  EXPECT_EQ(streams.err(), "error: RsFile\nerror: memory ran out\n");
  EXPECT_EQ(streams.out(), "Singular matrix");
  EXPECT_EQ(recorded, "error: RsFile;");
}

// Rejected while the file is open (a line over the limit, an unreadable directory) or after
// it was read (a malformed term): the surface file is closed every time.
TEST(FailureTest, RejectedSurfaceFileIsClosed) {
  const std::string longLine = ::testing::TempDir() + "fatal_hook_long.rs";
  const std::string badTerm = ::testing::TempDir() + "fatal_hook_bad.rs";
  std::ofstream(longLine, std::ios::binary) << "1 2.5 " << std::string(300, 'x') << '\n';
  std::ofstream(badTerm, std::ios::binary) << "1 `\n";
  const int freeDescriptor = lowestFreeDescriptor();
  for (const std::string& path : {longLine, badTerm, ::testing::TempDir()}) {
    ResponseSurface model;
    EXPECT_THROW(RsFile(path, model), Failure) << path;
    EXPECT_EQ(lowestFreeDescriptor(), freeDescriptor) << path;
  }
}

}  // namespace
}  // namespace kelm
