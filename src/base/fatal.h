#pragma once
#include <string_view>

namespace kelm {

enum class Stream { Out, Err };

// The single way the system fails: write the message to the given stream, optionally end the
// line, flush, and end the process with status 1 through the normal exit so buffered output
// reaches the user.
[[noreturn]] void fatal(Stream stream, std::string_view message, bool lineEnd);

// Test harnesses that must outlive a fatal input (the fuzz targets) set a hook that runs after
// the message is written and flushed, in place of the exit; it leaves by throwing. The programs
// never set it, and a hook that returns still ends the process with status 1.
using FatalExitHook = void (*)();
void setFatalExitHook(FatalExitHook hook);

// A program that draws a live line on the terminal sets a hook that clears it; every message,
// and any other output written while a search runs, calls beforeOutput() first so that it
// starts on a fresh line.
using BeforeOutputHook = void (*)();
void setBeforeOutputHook(BeforeOutputHook hook);
void beforeOutput();

// A program that records its outcome (a JSON result file) sets a hook that receives the fatal
// message once it has been written, before the process ends.
using FatalRecordHook = void (*)(std::string_view message);
void setFatalRecordHook(FatalRecordHook hook);

// A message the run survives (out-of-range reads of a stacking sequence): written, no line end.
void warn(Stream stream, std::string_view message);

}  // namespace kelm
