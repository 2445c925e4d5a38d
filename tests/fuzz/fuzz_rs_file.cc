// Fuzz target: arbitrary bytes as a response-surface file, read and built as the programs do.
// A rejected file must end in a fatal message and leave no descriptor open; an accepted one must
// hold one term per line that is not a comment.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "fuzz_support.h"
#include "response/response_surface.h"
#include "response/rs_file.h"

namespace {

const std::string& surfacePath() {
  static const std::string path = (kelm::fuzz::scratchDirectory() / "input.rs").string();
  return path;
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size) __builtin_trap();
  std::fclose(file);
}

// Counted independently of the reader: lines end at a line feed, an empty remainder after the
// last one is no line, and a line starting with '#' is a comment.
std::size_t termLineCount(const std::string& text) {
  std::size_t count = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text[start] != '#') ++count;
    start = end + 1;
  }
  return count;
}

// The lowest free descriptor: it grows when a run leaves the surface file open, which a
// program's exit would hide but which here would soon make every file unreadable.
int lowestFreeDescriptor() {
  const int descriptor = dup(0);
  close(descriptor);
  return descriptor;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kelm::fuzz::quietAndSurviveFatal();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  writeFile(surfacePath(), data, size);
  const int freeDescriptor = lowestFreeDescriptor();
  kelm::ResponseSurface model;
  try {
    kelm::RsFile(surfacePath(), model);
  } catch (const kelm::fuzz::FatalExit&) {
    if (lowestFreeDescriptor() != freeDescriptor) __builtin_trap();
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (model.termCodes().size() != termLineCount(text)) __builtin_trap();
  if (model.termValues().size() != model.termCodes().size()) __builtin_trap();
  return 0;
}
