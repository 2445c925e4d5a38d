#pragma once

#include <cstdint>
#include <vector>

#include "base/stop_request.h"
#include "blend/blended_design.h"
#include "blend/blended_structure.h"

namespace kelm {

// What growing a table ended with: a design that passed the independent check, or none.
struct GrownTable {
  bool found = false;
  BlendedDesign design;
  double margin = 0.0;
  std::int64_t laminatesTried = 0;  // class laminates judged against their panels
};

// A table design built class by class from the thinnest: the thinnest class's laminate is
// chosen first, and each thicker class's laminate is the one below it with plies inserted, so
// that it meets the panels of that class and drops within the limit towards each thinner
// neighbour. A class whose panels no insertion satisfies has its failing panels raised to their
// next total (a failing drop run, the thinner neighbour), and the growth goes on from there.
// Where annealing one table over a hundred panels finds nothing, this judges a handful of
// panels at a time. It proves nothing when it finds no design. `options` holds each panel's
// totals, ascending, the growth starts from the first; `structure` is in the table form.
// Deterministic; ends early on a stop.
GrownTable growTable(const BlendedStructure& structure, const std::vector<std::vector<int>>& options,
                     const StopRequest* stop = nullptr);

}  // namespace kelm
