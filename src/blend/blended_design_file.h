#pragma once

#include <optional>
#include <string>

#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// A blended design as kelm_blend writes it in its JSON document ("panels" with "name",
// "plies" and "stack"; for the table form "table" with "angle" and "level" per guide
// position), for the panels of `structure`. Faults are named as in the structure file.
// `statedWeight`, when given, receives the document's "weight" if it states one.
BlendedDesign readDesignFile(const std::string& fileName, const BlendedStructure& structure,
                             std::optional<double>* statedWeight = nullptr);

}  // namespace kelm
