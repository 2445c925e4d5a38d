#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kelm {

// Writes `text` to a fresh file next to `file` and renames it over `file`, so that no reader
// ever sees half of it; false (and nothing left behind) when that fails.
bool writeFileAtomically(const std::string& file, const std::string& text);

// The same for a text too large to hold at once: `produce` hands it to the sink piece by piece
// (the sink is false once writing failed) and says whether it could make all of it.
using TextSink = std::function<bool(std::string_view)>;
bool writeFileAtomically(const std::string& file,
                         const std::function<bool(const TextSink&)>& produce);

}  // namespace kelm
