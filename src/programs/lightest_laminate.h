#pragma once

#include <string>
#include <vector>

#include "cli/extension_options.h"
#include "programs/search_program.h"

namespace kelm {

// Sizing (kelm_alt --plies=A:B[/C:D]): the lightest laminate, or panel by --weights=, that has a
// design meeting every --require=, decided total by total with the searches, lightest first.
// A total whose required surface cannot reach its limit by a cheap bound is skipped; every
// other lighter one is searched and found to have no such design. The report ends with
// "lightest: N plies" ("lightest: S/T plies" for a panel) and the designs of that total.
// `args`: [LETTERS] RSFILE, with {plies} ({skin}, {stiffener}) in file names. Returns the exit
// status.
int sizeTheLaminate(std::vector<std::string>& args, const ExtensionOptions& extensions,
                    const DriverFactory& makeDriver);

}  // namespace kelm
