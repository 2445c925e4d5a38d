#include "response/rs_file.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "base/fatal.h"

namespace kelm {

namespace {

// "responce" is the program's own spelling of this message and stays so.
[[noreturn]] void cannotOpen() {
  fatal(Stream::Err, "Cannot open responce surface file!", true, FailureKind::File);
}
[[noreturn]] void malformed() { fatal(Stream::Err, "error: RsFile", true); }


// Reads the whole file, but never more than a well-formed file of long lines could hold per
// line: a line that outgrows the limit ends the run at once instead of being read on.
std::string readFile(std::FILE* file) {
  std::string text;
  std::size_t lineLength = 0;
  int c;
  while ((c = std::getc(file)) != EOF) {
    text.push_back(static_cast<char>(c));
    lineLength = (c == '\n') ? 0 : lineLength + 1;
    if (lineLength > kMaxRsLineLength + 1) malformed();  // +1: a carriage return may follow
  }
  if (std::ferror(file)) cannotOpen();  // a directory, for instance, opens but cannot be read
  return text;
}

// Closes the file however reading ends, also when a fatal message unwinds instead of exiting
// (a harness that survives the message must not run out of descriptors).
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string readWholeFile(const std::string& fileName) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
  if (file == nullptr) cannotOpen();
  return readFile(file.get());
}

}  // namespace

// A line ends at a line feed, a carriage return right before it belongs to the line end, and an
// empty remainder after the last line feed is no line. Splitting stops at a line that is too
// long.
std::vector<std::string> splitRsLines(const std::string& text, long long& tooLong) {
  std::vector<std::string> lines;
  tooLong = -1;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = text.size();
    std::size_t length = end - start;
    if (terminated && length > 0 && text[end - 1] == '\r') --length;
    if (length > kMaxRsLineLength) {
      tooLong = static_cast<long long>(lines.size());
      return lines;
    }
    lines.emplace_back(text, start, length);
    start = terminated ? end + 1 : end;
  }
  return lines;
}

// A comment only when '#' is the very first character; otherwise a hexadecimal code and a
// decimal coefficient, read as stream extraction reads them (leading white space skipped,
// reading stops at the first character that cannot continue the number).
RsLine readRsLine(const std::string& line) {
  RsLine read;
  if (!line.empty() && line[0] == '#') {
    read.kind = RsLine::Kind::Comment;
    return read;
  }
  std::istringstream in(line);
  if (!(in >> std::hex >> read.code) || !(in >> std::dec >> read.coefficient)) {
    read.kind = RsLine::Kind::Refused;
    return read;
  }
  read.kind = RsLine::Kind::Term;
  std::getline(in, read.rest);
  return read;
}

void parseRsText(const std::string& text, ResponseSurface& model) {
  long long tooLong = -1;
  const std::vector<std::string> lines = splitRsLines(text, tooLong);
  if (tooLong >= 0) malformed();
  for (const std::string& line : lines) {
    const RsLine read = readRsLine(line);
    if (read.kind == RsLine::Kind::Comment) continue;
    if (read.kind == RsLine::Kind::Refused) malformed();
    model.appendTerm(read.code, read.coefficient);
  }
  model.build();
  refuseUnboundedSurface(model);
}

void refuseUnboundedSurface(const ResponseSurface& model) {
  double size = 0.0;
  for (const double coefficient : model.termValues()) size += std::fabs(coefficient);
  if (size <= kLargestSurfaceSize) return;
  char message[200];
  std::snprintf(message, sizeof message,
                "error: the surface's coefficients add up to %.3g, beyond what the searches can bound (%.0e at "
                "most): scale the surface",
                size, kLargestSurfaceSize);
  fatal(Stream::Err, message, true);
}

void RsFile(const std::string& fileName, ResponseSurface& model) {
  parseRsText(readWholeFile(fileName), model);
}

}  // namespace kelm
