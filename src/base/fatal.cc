#include "base/fatal.h"

#include <cstdlib>
#include <iostream>

namespace kelm {

namespace {
std::ostream& streamOf(Stream stream) { return stream == Stream::Out ? std::cout : std::cerr; }
FatalExitHook exitHook = nullptr;
BeforeOutputHook beforeOutputHook = nullptr;
FatalRecordHook recordHook = nullptr;
}  // namespace

void setFatalExitHook(FatalExitHook hook) { exitHook = hook; }
void setBeforeOutputHook(BeforeOutputHook hook) { beforeOutputHook = hook; }
void setFatalRecordHook(FatalRecordHook hook) { recordHook = hook; }

void beforeOutput() {
  if (beforeOutputHook != nullptr) beforeOutputHook();
}

void fatal(Stream stream, std::string_view message, bool lineEnd) {
  beforeOutput();
  std::ostream& os = streamOf(stream);
  os << message;
  if (lineEnd) os << '\n';
  os.flush();
  std::cout.flush();
  if (recordHook != nullptr) {
    const FatalRecordHook record = recordHook;
    recordHook = nullptr;  // a failure while recording ends the run without a second record
    record(message);
  }
  if (exitHook != nullptr) exitHook();
  std::exit(1);
}

void warn(Stream stream, std::string_view message) {
  beforeOutput();
  streamOf(stream) << message;
}

}  // namespace kelm
