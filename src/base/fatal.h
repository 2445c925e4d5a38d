#pragma once
#include <exception>
#include <string>
#include <string_view>

namespace kelm {

enum class Stream { Out, Err };

// What kind of trouble ended the work: input the system refuses (the default), a file it cannot
// read, or memory it cannot have. A caller that is not a console program (the Python module)
// turns each into its own kind of error.
enum class FailureKind { Input, File, Memory };

// An error the current work cannot go on from, carrying what a program writes for it: the
// message, its stream and whether the line ends. The libraries never end the process; a
// program's entry writes the message and ends with status 1 (cli/guarded_main.h).
class Failure : public std::exception {
 public:
  Failure(Stream stream, std::string message, bool lineEnd, FailureKind kind = FailureKind::Input)
      : stream_(stream), message_(std::move(message)), lineEnd_(lineEnd), kind_(kind) {}
  const char* what() const noexcept override { return message_.c_str(); }
  Stream stream() const { return stream_; }
  const std::string& message() const { return message_; }
  bool lineEnd() const { return lineEnd_; }
  FailureKind kind() const { return kind_; }

 private:
  Stream stream_;
  std::string message_;
  bool lineEnd_;
  FailureKind kind_;
};

// The single way the system fails: throws the Failure that carries the message.
[[noreturn]] void fatal(Stream stream, std::string_view message, bool lineEnd,
                        FailureKind kind = FailureKind::Input);

// A program that draws a live line on the terminal sets a hook that clears it; every message,
// and any other output written while a search runs, calls beforeOutput() first so that it
// starts on a fresh line.
using BeforeOutputHook = void (*)();
void setBeforeOutputHook(BeforeOutputHook hook);
void beforeOutput();

// A message the run survives (out-of-range reads of a stacking sequence): written, no line end.
void warn(Stream stream, std::string_view message);

}  // namespace kelm
