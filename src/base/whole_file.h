#pragma once

#include <string>

namespace kelm {

// Reads a whole file into `text`. False when the file cannot be opened or cannot be read: a
// folder opens on most systems and fails only at the first read, and must not pass for an
// empty file.
bool readWholeFile(const std::string& fileName, std::string& text);

}  // namespace kelm
