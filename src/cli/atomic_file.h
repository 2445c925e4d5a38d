#pragma once

#include <string>

namespace kelm {

// Writes `text` to a fresh file next to `file` and renames it over `file`, so that no reader
// ever sees half of it; false (and nothing left behind) when that fails.
bool writeFileAtomically(const std::string& file, const std::string& text);

}  // namespace kelm
