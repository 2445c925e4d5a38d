#include "run/fatal.h"

#include <cstdlib>
#include <iostream>

namespace kelm {

namespace {
std::ostream& streamOf(Stream stream) { return stream == Stream::Out ? std::cout : std::cerr; }
}  // namespace

void fatal(Stream stream, std::string_view message, bool lineEnd) {
  std::ostream& os = streamOf(stream);
  os << message;
  if (lineEnd) os << '\n';
  os.flush();
  std::cout.flush();
  std::exit(1);
}

void warn(Stream stream, std::string_view message) { streamOf(stream) << message; }

}  // namespace kelm
