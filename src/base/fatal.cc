#include "base/fatal.h"

#include <cstdlib>
#include <iostream>

namespace kelm {

namespace {
std::ostream& streamOf(Stream stream) { return stream == Stream::Out ? std::cout : std::cerr; }
FatalExitHook exitHook = nullptr;
}  // namespace

void setFatalExitHook(FatalExitHook hook) { exitHook = hook; }

void fatal(Stream stream, std::string_view message, bool lineEnd) {
  std::ostream& os = streamOf(stream);
  os << message;
  if (lineEnd) os << '\n';
  os.flush();
  std::cout.flush();
  if (exitHook != nullptr) exitHook();
  std::exit(1);
}

void warn(Stream stream, std::string_view message) { streamOf(stream) << message; }

}  // namespace kelm
