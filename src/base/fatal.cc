#include "base/fatal.h"

#include <iostream>

namespace kelm {

namespace {
std::ostream& streamOf(Stream stream) { return stream == Stream::Out ? std::cout : std::cerr; }
BeforeOutputHook beforeOutputHook = nullptr;
}  // namespace

void setBeforeOutputHook(BeforeOutputHook hook) { beforeOutputHook = hook; }

void beforeOutput() {
  if (beforeOutputHook != nullptr) beforeOutputHook();
}

void fatal(Stream stream, std::string_view message, bool lineEnd, FailureKind kind) {
  throw Failure(stream, std::string(message), lineEnd, kind);
}

void warn(Stream stream, std::string_view message) {
  beforeOutput();
  streamOf(stream) << message;
}

}  // namespace kelm
