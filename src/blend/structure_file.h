#pragma once

#include <string>

#include "blend/blended_structure.h"

namespace kelm {

// Reads a structure of blended panels from its JSON file: the panels (name, ply_weight, the
// allowed even totals in "plies" as "A:B" or [A, B], the "objective" and "require" surfaces
// with {plies} in their names, read for every total, and their "rules"), the "adjacent" pairs
// by name and the "blending" rules. Surface names are taken relative to the structure file.
// Anything that does not fit the schema fails with one message naming the key.
BlendedStructure readStructureFile(const std::string& fileName);

// The same structure given as JSON text (built in memory rather than written to a file):
// `documentName` names it in messages, surface names are taken relative to `baseDirectory`.
BlendedStructure readStructureText(const std::string& text, const std::string& documentName,
                                   const std::string& baseDirectory);

}  // namespace kelm
