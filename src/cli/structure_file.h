#pragma once

#include <string>

#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// Reads a structure of blended panels from its JSON file: the panels (name, ply_weight, the
// allowed even totals in "plies" as "A:B" or [A, B], the "objective" and "require" surfaces
// with {plies} in their names, read for every total, and their "rules"), the "adjacent" pairs
// by name and the "blending" rules. Surface names are taken relative to the structure file.
// Anything that does not fit the schema ends the run with one message naming the key.
BlendedStructure readStructureFile(const std::string& fileName);

// A blended design as kelm_blend writes it in its JSON document ("panels" with "name",
// "plies" and "stack"; for the table form "table" with "angle" and "level" per guide
// position), for the panels of `structure`.
BlendedDesign readDesignFile(const std::string& fileName, const BlendedStructure& structure);

}  // namespace kelm
