#pragma once

#include <cstdint>
#include <vector>

#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// Every stiffener laminate of the stiffener's total that meets its rules, one per set of
// lamination parameters (laminates of equal parameters give every surface the same value).
// Throws a Failure when more than `limit` positions would have to be tried.
std::vector<StackingSequence> stiffenerLaminates(const PanelStiffener& stiffener, std::int64_t limit);

// A stiffened panel at one skin total, its surfaces' whole (eight-parameter) surfaces in
// `surface` and `value`: gives it the choice of the tree's stiffeners, and each surface in
// `surface` the skin-only ceiling over them that the bounds of a growing skin read.
void prepareStiffenedTotal(PanelTotal& total, const std::shared_ptr<const StiffenerTree>& tree);

// Each stiffened panel's best stiffener for its skin in the design (the requirements met, then
// the largest smallest margin); nothing for a structure of plates.
void chooseStiffeners(const BlendedStructure& structure, BlendedDesign& design);

}  // namespace kelm
