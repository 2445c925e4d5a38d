#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "response/response_surface.h"

namespace kelm {

// Longest line of a response-surface file, line end excluded.
inline constexpr std::size_t kMaxRsLineLength = 255;

// The largest sum of a surface's absolute coefficients (its largest value over the parameters'
// range): the searches' bounds multiply up to three coefficients, which must stay numbers.
inline constexpr double kLargestSurfaceSize = 1e100;

// Refuses a surface whose values the searches cannot bound in floating point, naming its size.
void refuseUnboundedSurface(const ResponseSurface& model);

// Reads the response-surface file into the model's term list and builds the model. Any
// failure ends the run with its message.
void RsFile(const std::string& fileName, ResponseSurface& model);

// Parses the text of a whole file (as read from disk) into the model and builds it.
void parseRsText(const std::string& text, ResponseSurface& model);

// The pieces of the reader, for a check that says where and why a file is refused.
// The file's lines; `tooLong` receives the index of the first line longer than
// kMaxRsLineLength (-1: none), where splitting stops.
std::vector<std::string> splitRsLines(const std::string& text, long long& tooLong);

// One line as the reader takes it: a comment, a term (code, coefficient and the text after the
// coefficient, which the reader ignores), or a line it refuses.
struct RsLine {
  enum class Kind { Comment, Term, Refused };
  Kind kind = Kind::Refused;
  std::int32_t code = 0;
  double coefficient = 0.0;
  std::string rest;
};
RsLine readRsLine(const std::string& line);

}  // namespace kelm
