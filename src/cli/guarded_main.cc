#include "cli/guarded_main.h"

#include <iostream>

namespace kelm {

namespace {
FailureRecordHook recordHook = nullptr;
}

void setFailureRecordHook(FailureRecordHook hook) { recordHook = hook; }

int reportFailure(const Failure& failure) {
  beforeOutput();
  std::ostream& os = failure.stream() == Stream::Out ? std::cout : std::cerr;
  os << failure.message();
  if (failure.lineEnd()) os << '\n';
  os.flush();
  std::cout.flush();
  if (recordHook != nullptr) {
    const FailureRecordHook record = recordHook;
    recordHook = nullptr;  // a failure while recording ends the run without a second record
    try {
      record(failure.message());
    } catch (const Failure& second) {
      return reportFailure(second);
    }
  }
  return 1;
}

}  // namespace kelm
