#pragma once

#include <string>

#include "response/response_surface.h"

namespace kelm {

// Longest line of a response-surface file, line end excluded.
inline constexpr std::size_t kMaxRsLineLength = 255;

// Reads the response-surface file into the model's term list and builds the model. Any
// failure ends the run with its message.
void RsFile(const std::string& fileName, ResponseSurface& model);

// Parses the text of a whole file (as read from disk) into the model and builds it.
void parseRsText(const std::string& text, ResponseSurface& model);

}  // namespace kelm
